#include "lookupqueries.h"

#include "ini.h"
#include "reporter.h"

#include <QElapsedTimer>

namespace vorsa {

namespace {
const QString TableSection = QStringLiteral("Table");

QString tableValue(const QString& key, const QString& iniFile)
{
    return IniLesen(TableSection, key, iniFile, QString()).trimmed();
}

QString sqlKey(int query, int line)
{
    return QStringLiteral("SQL%1.%2").arg(query).arg(line);
}
} // namespace

LookupQueries::LookupQueries(IReporter& reporter) : m_reporter(reporter) {}

LookupQueries::~LookupQueries()
{
    clear();
}

void LookupQueries::EinlesenDatenbank(const QString& iniFile, const QString& cutDigits)
{
    m_cutDigits = cutDigits;
    guarded(m_reporter, QStringLiteral("EinlesenDatenbank"), [&] {
        for (int n = 1;; ++n) {
            QStringList lines;
            for (int k = 1;; ++k) {
                const QString line = tableValue(sqlKey(n, k), iniFile);
                if (line.isEmpty())
                    break;
                lines << line;
            }
            ClassSqlRsInstanzieren(lines.join(QLatin1Char(' ')));
            if (tableValue(sqlKey(n + 1, 1), iniFile).isEmpty())
                break;
        }
        m_iconField = tableValue(QStringLiteral("Icon"), iniFile);
        m_tableName = tableValue(QStringLiteral("Name"), iniFile);
        if (m_tableName.isEmpty()) {
            m_reporter.message(QStringLiteral("Bitte erst einen Tabellennamen deklarieren"),
                               QStringLiteral("Vorsamelder"), MessageIcon::Critical);
            return;
        }
        m_orderBy = tableValue(QStringLiteral("OrderBy"), iniFile);
    });
}

void LookupQueries::ClassSqlRsInstanzieren(const QString& sql)
{
    guarded(m_reporter, QStringLiteral("ClassSqlRsInstanzieren"), [&] {
        auto query = std::make_unique<clsSqlRs>();
        query->SQL = sql;
        query->setCutNr(m_cutDigits);
        m_queries.push_back(std::move(query));
    });
}

clsSqlRs* LookupQueries::AnruferSuchen(const QString& number, db::Connection& con,
                                       const QString& connectionString, const QString& platzhalter)
{
    // The connection stays open from one lookup to the next. One that no
    // longer reaches what the data link names (the file changed, the
    // database file was replaced, its server ended the connection) is opened
    // afresh, so every lookup searches the database as it is now.
    m_failure.clear();
    if (con.isOpen() && !con.isCurrent())
        ignoringErrors([&] { con.close(); });
    // A database that cannot be opened is said; the call goes on without it.
    if (!con.isOpen())
        guarded(
            m_reporter, QStringLiteral("AnruferSuchen"),
            [&] { con.open(connectionString, QString(), QString()); }, &m_failure);
    if (!con.isOpen())
        return nullptr;

    // Every other step goes on after an error: a query whose search failed
    // takes part in the choice with the counts it has.
    QElapsedTimer took;
    took.start();
    clsSqlRs* chosen = nullptr;
    bool failed = false;
    for (const auto& query : m_queries) {
        ignoringErrors([&] { query->Suchen(number, platzhalter, con, m_reporter); });
        if (query->lastSearchFailed && !failed)
            m_failure = query->lastError;
        failed = failed || query->lastSearchFailed;
        if (query->RecordCount == 1 && query->AnzahlVersuche == 0) {
            chosen = query.get();
            break;
        }
        if (query->lastSearchFailed && con.lockWaitMs() >= 0 && took.elapsed() >= con.lockWaitMs())
            break;
    }
    if (!chosen)
        chosen = mostSpecific();

    // A connection on which a search failed is opened afresh at the next lookup.
    if (failed)
        ignoringErrors([&] { con.close(); });
    return chosen;
}

clsSqlRs* LookupQueries::mostSpecific()
{
    if (m_queries.empty())
        return nullptr;
    clsSqlRs* candidate = nullptr;
    for (const auto& query : m_queries) {
        if (query->RecordCount > 0) {
            candidate = query.get();
            break;
        }
    }
    if (!candidate)
        return m_queries.front().get();
    bool after = false;
    for (const auto& query : m_queries) {
        if (query.get() == candidate) {
            after = true;
            continue;
        }
        if (!after || query->RecordCount <= 0)
            continue;
        if (query->RecordCount < candidate->RecordCount &&
            query->AnzahlVersuche <= candidate->AnzahlVersuche)
            candidate = query.get();
    }
    return candidate;
}

QStringList LookupQueries::notFoundColumns() const
{
    return m_queries.empty() ? QStringList() : m_queries.front()->columnNames;
}

void LookupQueries::resetCounts()
{
    for (const auto& query : m_queries) {
        query->AnzahlVersuche = 0;
        query->RecordCount = 0;
    }
}

void LookupQueries::clear()
{
    while (!m_queries.empty())
        m_queries.pop_back();
}

} // namespace vorsa

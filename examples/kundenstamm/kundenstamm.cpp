#include "kundenstamm.h"

#include "kundenmodell.h"
#include "reporter.h"
#include "vberror.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <sqlite3.h>

namespace kundenstamm {

namespace {

// What the database answers when another program holds it: SQLite's BUSY and
// LOCKED, PostgreSQL's lock_not_available and deadlock_detected.
bool isLocked(const QString& driver, const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    if (driver == u"QSQLITE")
        return (code.toInt() & 0xff) == 5 || (code.toInt() & 0xff) == 6;
    return code == u"55P03" || code == u"40P01";
}

// A constraint refused the statement: SQLite's CONSTRAINT (with or without
// its extended code), PostgreSQL's class 23 (integrity constraint violation).
bool isConstraint(const QString& driver, const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    if (driver == u"QSQLITE")
        return (code.toInt() & 0xff) == 19;
    return code.startsWith(u"23");
}

QString errorText(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    return text;
}

// SQLite's lower() and LIKE fold only ASCII letters: vorsa_casefold(text)
// folds every letter as Qt does (Ä to ä, É to é), for a search that finds
// "Müller" by "müller".
void casefold(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = static_cast<const char16_t*>(sqlite3_value_text16(argv[0]));
    const int bytes = sqlite3_value_bytes16(argv[0]);
    const QString folded = QString::fromUtf16(text, bytes / 2).toCaseFolded();
    sqlite3_result_text16(context, folded.utf16(), int(folded.size() * 2), SQLITE_TRANSIENT);
}

// Gives the SQLite connection vorsa_casefold(); false when it is no SQLite
// connection of the library this program uses.
bool registerCasefold(const QSqlDatabase& db)
{
    if (db.driverName() != u"QSQLITE" || !db.driver())
        return false;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    return connection &&
           sqlite3_create_function_v2(connection, "vorsa_casefold", 1,
                                      SQLITE_UTF16 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                      nullptr, casefold, nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace

KundenStamm::KundenStamm() = default;

KundenStamm::~KundenStamm()
{
    // The model lets go of its queries before the connection closes.
    m_modell.reset();
}

void KundenStamm::oeffnen(const QString& udlPath)
{
    schliessen();
    m_verbindung.open(QStringLiteral("File Name=") + udlPath);
    m_faltung = registerCasefold(m_verbindung.database());
    auto modell = std::make_unique<KundenModell>(nullptr, m_verbindung.database());
    try {
        modell->tabelleOeffnen();
    } catch (...) {
        modell.reset();
        m_verbindung.close();
        throw;
    }
    m_modell = std::move(modell);
}

void KundenStamm::schliessen()
{
    m_modell.reset();
    m_verbindung.close();
}

bool KundenStamm::istOffen() const
{
    return m_modell && m_verbindung.isOpen();
}

QString KundenStamm::verbindungsName() const
{
    return istOffen() ? m_verbindung.database().connectionName() : QString();
}

void KundenStamm::setWartezeit(int milliseconds)
{
    if (!m_verbindung.isOpen())
        return;
    if (m_verbindung.driverName() == u"QSQLITE")
        m_verbindung.execute(QStringLiteral("PRAGMA busy_timeout = %1").arg(milliseconds));
    else if (m_verbindung.driverName() == u"QPSQL")
        m_verbindung.execute(QStringLiteral("SET lock_timeout = %1").arg(milliseconds));
}

QString KundenStamm::filter() const
{
    if (!m_modell)
        return QString();
    const QSqlDatabase db = m_verbindung.database();
    const QSqlDriver* driver = db.driver();
    // A name as the database spells it, quoted; empty when the column is missing.
    auto column = [&](const QString& name) {
        const int at = m_modell->spalte(name);
        return at < 0 ? QString()
                      : driver->escapeIdentifier(m_modell->record().fieldName(at),
                                                 QSqlDriver::FieldName);
    };
    QStringList parts;
    const QString mandNr = column(QStringLiteral("MandNr"));
    if (m_mandant && !mandNr.isEmpty())
        parts << QStringLiteral("%1 = %2").arg(mandNr).arg(*m_mandant);
    if (!m_suche.isEmpty()) {
        // The text as a literal of the database, its wildcards taken literally.
        QString pattern = m_suche;
        pattern.replace(QLatin1Char('!'), QStringLiteral("!!"))
            .replace(QLatin1Char('%'), QStringLiteral("!%"))
            .replace(QLatin1Char('_'), QStringLiteral("!_"));
        QSqlField literal(QStringLiteral("suche"), QMetaType(QMetaType::QString));
        literal.setValue(QLatin1Char('%') + pattern + QLatin1Char('%'));
        const QString like = driver->formatValue(literal);
        QStringList any;
        // Letters of any case; PostgreSQL's LOWER knows the umlauts.
        const QString fold = m_faltung ? QStringLiteral("vorsa_casefold") : QStringLiteral("LOWER");
        for (const QString& name : {QStringLiteral("Name2"), QStringLiteral("SuchID")}) {
            const QString c = column(name);
            if (!c.isEmpty())
                any << QStringLiteral("%1(%2) LIKE %1(%3) ESCAPE '!'").arg(fold, c, like);
        }
        bool digits = false;
        const qlonglong number = m_suche.toLongLong(&digits);
        const QString kundenNr = column(QStringLiteral("KundenNrID"));
        if (digits && number >= 0 && number <= 2147483647 && !kundenNr.isEmpty())
            any << QStringLiteral("%1 = %2").arg(kundenNr).arg(number);
        parts << (any.isEmpty()
                      ? QStringLiteral("1 = 0")
                      : QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')'));
    }
    return parts.join(QStringLiteral(" AND "));
}

void KundenStamm::laden()
{
    if (!m_modell)
        throw vorsa::VbError(vorsa::db::adErrConnectionClosed,
                             QStringLiteral("Die Kundendatenbank ist nicht geöffnet"));
    m_modell->setBedingung(filter());
    if (!m_modell->select())
        datenbankFehler(QStringLiteral("Die Kunden konnten nicht gelesen werden"));
}

QVariant KundenStamm::naechsteKundenNr() const
{
    const QSqlDatabase db = m_verbindung.database();
    const QSqlDriver* driver = db.driver();
    const int at = m_modell->spalte(QStringLiteral("KundenNrID"));
    const QString sql =
        QStringLiteral("SELECT MAX(%1) FROM %2")
            .arg(driver->escapeIdentifier(m_modell->record().fieldName(at), QSqlDriver::FieldName),
                 driver->escapeIdentifier(m_modell->tableName(), QSqlDriver::TableName));
    QSqlQuery query(db);
    if (!query.exec(sql) || !query.next())
        throw vorsa::VbError::database(
            QStringLiteral("Die nächste Kundennummer konnte nicht ermittelt werden: %1 "
                           "[Anweisung: %2]")
                .arg(errorText(query.lastError()), sql));
    return query.value(0).isNull() ? 1 : query.value(0).toLongLong() + 1;
}

int KundenStamm::neu(const QDate& heute)
{
    if (!m_modell)
        throw vorsa::VbError(vorsa::db::adErrConnectionClosed,
                             QStringLiteral("Die Kundendatenbank ist nicht geöffnet"));
    const QVariant nummer = naechsteKundenNr();
    const int row = m_modell->rowCount();
    if (!m_modell->insertRow(row))
        datenbankFehler(QStringLiteral("Der neue Kunde konnte nicht angelegt werden"));
    auto set = [&](const QString& name, const QVariant& value) {
        const int column = m_modell->spalte(name);
        if (column >= 0)
            m_modell->setData(m_modell->index(row, column), value);
    };
    set(QStringLiteral("MandNr"), m_mandant.value_or(0));
    set(QStringLiteral("KundenNrID"), nummer);
    set(QStringLiteral("UnID"), QUuid::createUuid().toString(QUuid::WithBraces).toUpper());
    set(QStringLiteral("KundenArt"), 0);
    const int seit = m_modell->spalte(QStringLiteral("KundeSeit"));
    if (seit >= 0)
        set(QStringLiteral("KundeSeit"),
            m_modell->wertAusText(seit, heute.toString(QStringLiteral("yyyy/MM/dd"))));
    return row;
}

void KundenStamm::speichern()
{
    if (!hatAenderungen())
        return;
    const QString was = QStringLiteral("Der Kunde konnte nicht gespeichert werden");
    m_verbindung.beginTrans();
    if (!m_modell->aenderungenSchreiben()) {
        const QSqlError error = m_modell->lastError();
        const QString statement = m_modell->lastStatement();
        vorsa::ignoringErrors([this] { m_verbindung.rollbackTrans(); });
        datenbankFehler(was, error, statement);
    }
    abschliessen(was);
    nachAbschlussLaden(QStringLiteral("Der Kunde ist gespeichert"));
}

void KundenStamm::verwerfen()
{
    if (m_modell)
        m_modell->revertAll();
}

void KundenStamm::loeschen(int row)
{
    if (!m_modell || row < 0 || row >= m_modell->rowCount())
        throw vorsa::VbError(vorsa::db::adErrNoCurrentRecord,
                             QStringLiteral("Kein Kunde ausgewählt"));
    const QString was = QStringLiteral("Der Kunde konnte nicht gelöscht werden");
    m_verbindung.beginTrans();
    if (!m_modell->zeileLoeschen(row)) {
        const QSqlError error = m_modell->lastError();
        const QString statement = m_modell->lastStatement();
        vorsa::ignoringErrors([this] { m_verbindung.rollbackTrans(); });
        datenbankFehler(was, error, statement);
    }
    abschliessen(was);
    nachAbschlussLaden(QStringLiteral("Der Kunde ist gelöscht"));
}

void KundenStamm::abschliessen(const QString& was)
{
    try {
        m_verbindung.commitTrans();
    } catch (const vorsa::VbError& e) {
        vorsa::ignoringErrors([this] { m_verbindung.rollbackTrans(); });
        throw vorsa::VbError(e.number(), was + QStringLiteral(": ") + e.description());
    } catch (...) {
        vorsa::ignoringErrors([this] { m_verbindung.rollbackTrans(); });
        throw;
    }
}

void KundenStamm::nachAbschlussLaden(const QString& getan)
{
    try {
        laden();
    } catch (const vorsa::VbError& e) {
        throw vorsa::VbError(e.number(), getan +
                                             QStringLiteral(", die Kundenliste konnte danach "
                                                            "aber nicht neu gelesen werden. ") +
                                             e.description());
    }
}

bool KundenStamm::hatAenderungen() const
{
    return m_modell && m_modell->isDirty();
}

void KundenStamm::datenbankFehler(const QString& was) const
{
    datenbankFehler(was, m_modell->lastError(), m_modell->lastStatement());
}

void KundenStamm::datenbankFehler(const QString& was, const QSqlError& error,
                                  const QString& statement) const
{
    QString text = was + QStringLiteral(": ");
    const QString driver = m_verbindung.driverName();
    if (isLocked(driver, error))
        text += QStringLiteral("Die Datenbank ist von einem anderen Programm gesperrt. ");
    text += errorText(error);
    if (!statement.isEmpty())
        text += QStringLiteral(" [Anweisung: ") + statement + QLatin1Char(']');
    throw vorsa::VbError(
        isConstraint(driver, error) ? adErrIntegrityViolation : vorsa::err::Database, text);
}

} // namespace kundenstamm

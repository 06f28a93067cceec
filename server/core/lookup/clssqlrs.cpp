#include "clssqlrs.h"

#include "callingnumber.h"
#include "convert.h"
#include "reporter.h"
#include "vberror.h"

namespace vorsa {

namespace {
const QString CallingNrPlaceholder = QStringLiteral("/*CallingNr*/");
}

QString withoutControlCharacters(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control)
            out.append(c);
    }
    return out;
}

QString sqlQuoted(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QStringLiteral("''"));
    return out;
}

clsSqlRs::clsSqlRs() = default;

void clsSqlRs::setCutNr(const QString& text)
{
    CutNr = toLong(text);
}

QString clsSqlRs::statementFor(const QString& cCallingNr, const QString& cPlatzhalter,
                               int cut) const
{
    return attemptStatement(withoutControlCharacters(cCallingNr), cPlatzhalter, cut);
}

QString clsSqlRs::attemptStatement(const QString& number, const QString& cPlatzhalter,
                                   int cut) const
{
    const qsizetype keep = number.size() - cut;
    if (keep < 0)
        throw VbError::invalidCall();
    QString attempt = sqlQuoted(number.left(keep));
    if (cut > 0)
        attempt += cPlatzhalter;
    QString statement = SQL;
    statement.replace(CallingNrPlaceholder, attempt, Qt::CaseSensitive);
    return statement;
}

void clsSqlRs::Suchen(const QString& cCallingNr, const QString& cPlatzhalter, db::Connection& con,
                      IReporter& reporter)
{
    lastError.clear();
    lastSearchFailed = !guarded(
        reporter, QStringLiteral("clsSqlRs/Suchen"),
        [&] {
            AnzahlVersuche = 0;
            RecordCount = 0;
            const QString number = withoutControlCharacters(cCallingNr);
            for (int i = 0; i <= CutNr; ++i) {
                if (!callingnumber::cutAllowed(number, i))
                    break;
                const QString statement = attemptStatement(number, cPlatzhalter, i);
                if (Rs.isOpen())
                    Rs.close();
                Rs.open(statement, con, db::CursorType::Static, db::LockType::ReadOnly);
                columnNames.clear();
                for (int c = 0; c < Rs.fieldCount(); ++c)
                    columnNames << Rs.fieldName(c);
                if (Rs.recordCount() >= 1) {
                    AnzahlVersuche = i;
                    break;
                }
            }
            Rs.disconnect();
            RecordCount = Rs.recordCount();
        },
        &lastError);
}

} // namespace vorsa

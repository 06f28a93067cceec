// Reading the lookup queries and the autobooking settings, the statement of one
// lookup attempt and the date and time texts of a ride.

#include "autobooking/autobooking.h"
#include "databasebackend.h"
#include "ini.h"
#include "lookup/lookupqueries.h"
#include "reporter.h"
#include "vberror.h"

#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;

class ConfigurationTest : public QObject {
    Q_OBJECT
private slots:
    void queriesFromTheTableSection_data();
    void queriesFromTheTableSection();
    void cutDigitsThatAreNoNumberAreReported();
    void autobookingSettingsAreCompletedInTheFile_data();
    void autobookingSettingsAreCompletedInTheFile();
    void autobookingAktivMustBeANumber_data();
    void autobookingAktivMustBeANumber();
    void attemptStatement_data();
    void attemptStatement();
    void addingMinutesRollsTheDate_data();
    void addingMinutesRollsTheDate();
    void dateAndTimeTexts();

private:
    QString iniWith(const QStringList& lines)
    {
        m_dir = std::make_unique<QTemporaryDir>();
        const QString path = m_dir->filePath(QStringLiteral("VorsaSrv.INI"));
        test::writeIni(path, lines);
        return path;
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void ConfigurationTest::queriesFromTheTableSection_data()
{
    QTest::addColumn<QStringList>("ini");
    QTest::addColumn<QStringList>("queries");
    QTest::addColumn<QString>("iconField");
    QTest::addColumn<bool>("nameBox");

    QTest::newRow("lines trimmed and joined with one blank")
        << QStringList{"[Table]", "SQL1.1=  SELECT *  ", "SQL1.2=FROM T", "Name=T", "Icon= KdArt "}
        << QStringList{"SELECT * FROM T"} << "KdArt" << false;
    QTest::newRow("a gap ends the text")
        << QStringList{"[Table]", "SQL1.1=SELECT *", "SQL1.3=FROM T", "Name=T"}
        << QStringList{"SELECT *"} << "" << false;
    QTest::newRow("several queries in order")
        << QStringList{"[Table]", "SQL1.1=A", "SQL2.1=B", "SQL2.2=C", "SQL3.1=D", "Name=T"}
        << QStringList{"A", "B C", "D"} << "" << false;
    QTest::newRow("a missing query number ends the list")
        << QStringList{"[Table]", "SQL1.1=A", "SQL3.1=C", "Name=T"} << QStringList{"A"} << ""
        << false;
    QTest::newRow("no query gives one empty query and the name box")
        << QStringList{"[Settings]", "Amt="} << QStringList{""} << "" << true;
    QTest::newRow("empty name shows the box after reading")
        << QStringList{"[Table]", "SQL1.1=A", "Icon=I", "Name= "} << QStringList{"A"} << "I"
        << true;
}

void ConfigurationTest::queriesFromTheTableSection()
{
    QFETCH(QStringList, ini);
    RecordingReporter reporter;
    LookupQueries lookup(reporter);
    lookup.EinlesenDatenbank(iniWith(ini), QStringLiteral("3"));

    QStringList texts;
    for (int i = 0; i < lookup.size(); ++i) {
        texts << lookup.at(i).SQL;
        QCOMPARE(lookup.at(i).CutNr, 3);
    }
    QTEST(texts, "queries");
    QTEST(lookup.iconField(), "iconField");
    QFETCH(bool, nameBox);
    if (nameBox) {
        QCOMPARE(reporter.entries.size(), 1);
        QCOMPARE(reporter.entries.first().text,
                 QStringLiteral("Bitte erst einen Tabellennamen deklarieren"));
        QCOMPARE(reporter.entries.first().title, QStringLiteral("Vorsamelder"));
        QCOMPARE(reporter.entries.first().icon, MessageIcon::Critical);
    } else {
        QVERIFY(reporter.entries.isEmpty());
    }
}

void ConfigurationTest::cutDigitsThatAreNoNumberAreReported()
{
    RecordingReporter reporter;
    LookupQueries lookup(reporter);
    lookup.EinlesenDatenbank(iniWith({"[Table]", "SQL1.1=A", "Name=T"}), QStringLiteral("drei"));
    QCOMPARE(reporter.procedures(), QStringList{QStringLiteral("ClassSqlRsInstanzieren")});
    QCOMPARE(lookup.size(), 0);
}

void ConfigurationTest::autobookingSettingsAreCompletedInTheFile_data()
{
    QTest::addColumn<QStringList>("ini");
    QTest::addColumn<bool>("aktiv");
    QTest::addColumn<QString>("msn");
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QStringList>("fileAfter"); // Aktiv, MSN, AuftragsTyp as read back

    QTest::newRow("all missing") << QStringList{} << false << ""
                                 << "A" << QStringList{"0", "", "A"};
    QTest::newRow("Aktiv 2 is off and rewritten")
        << QStringList{"[Autobooking]", "Aktiv=2", "MSN=123", "AuftragsTyp=X"} << false << "123"
        << "X" << QStringList{"0", "123", "X"};
    QTest::newRow("set values stay")
        << QStringList{"[Autobooking]", "Aktiv=1", "MSN=", "AuftragsTyp=F"} << true << ""
        << "F" << QStringList{"1", "", "F"};
    QTest::newRow("Aktiv 0 stays") << QStringList{"[Autobooking]", "Aktiv=0"} << false << ""
                                   << "A" << QStringList{"0", "", "A"};
}

void ConfigurationTest::autobookingSettingsAreCompletedInTheFile()
{
    QFETCH(QStringList, ini);
    QFETCH(QStringList, fileAfter);
    const QString path = iniWith(ini);
    const AutobookingSettings settings = EinlesenAutobooking(path);
    QTEST(settings.aktiv, "aktiv");
    QTEST(settings.msn, "msn");
    QTEST(settings.auftragsTyp, "typ");
    const QString section = QStringLiteral("Autobooking");
    const QString absent = QStringLiteral("<fehlt>");
    QCOMPARE((QStringList{IniLesen(section, QStringLiteral("Aktiv"), path, absent),
                          IniLesen(section, QStringLiteral("MSN"), path, absent),
                          IniLesen(section, QStringLiteral("AuftragsTyp"), path, absent)}),
             fileAfter);
}

void ConfigurationTest::autobookingAktivMustBeANumber_data()
{
    QTest::addColumn<QString>("aktiv");
    QTest::newRow("text") << "ja";
    QTest::newRow("empty") << "";
}

void ConfigurationTest::autobookingAktivMustBeANumber()
{
    QFETCH(QString, aktiv);
    const QString path = iniWith({"[Autobooking]", "Aktiv=" + aktiv});
    try {
        EinlesenAutobooking(path);
        QFAIL("no conversion error");
    } catch (const VbError& e) {
        QCOMPARE(e.number(), err::TypeMismatch);
    }
}

void ConfigurationTest::attemptStatement_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("cut");
    QTest::addColumn<QString>("statement");

    const QString like = QStringLiteral("Nr LIKE '/*CallingNr*/'");
    QTest::newRow("full number") << like << "0521" << 0 << "Nr LIKE '0521'";
    QTest::newRow("cut appends the wildcard") << like << "0521" << 2 << "Nr LIKE '05%'";
    QTest::newRow("every placeholder") << "/*CallingNr*/ or /*CallingNr*/"
                                       << "1" << 0 << "1 or 1";
    QTest::newRow("placeholder case matters") << "/*callingnr*/"
                                              << "1" << 0 << "/*callingnr*/";
    QTest::newRow("quotes doubled") << like << "0'5''" << 0 << "Nr LIKE '0''5'''''";
    QTest::newRow("quote cut before doubling") << like << "05'1" << 1 << "Nr LIKE '05''%'";
    QTest::newRow("control characters removed")
        << like << "05\r\n2\t1\x7f" << 0 << "Nr LIKE '0521'";
    QTest::newRow("cut counts without control characters")
        << like << "052\n1" << 1 << "Nr LIKE '052%'";
}

void ConfigurationTest::attemptStatement()
{
    QFETCH(QString, sql);
    QFETCH(QString, number);
    QFETCH(int, cut);
    clsSqlRs query;
    query.SQL = sql;
    QTEST(query.statementFor(number, QStringLiteral("%"), cut), "statement");
}

void ConfigurationTest::addingMinutesRollsTheDate_data()
{
    QTest::addColumn<QString>("time");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("endTime");
    QTest::addColumn<QDate>("endDate");

    QTest::newRow("same hour") << "09:14" << QDate(2026, 12, 6) << "09:34" << QDate(2026, 12, 6);
    QTest::newRow("next hour") << "12:45" << QDate(2026, 12, 6) << "13:05" << QDate(2026, 12, 6);
    QTest::newRow("midnight exactly")
        << "23:40" << QDate(2026, 12, 6) << "00:00" << QDate(2026, 12, 7);
    QTest::newRow("new year") << "23:50" << QDate(2026, 12, 31) << "00:10" << QDate(2027, 1, 1);
    QTest::newRow("end of February")
        << "23:59" << QDate(2027, 2, 28) << "00:19" << QDate(2027, 3, 1);
    QTest::newRow("not five characters")
        << "9:14" << QDate(2026, 12, 6) << "9:14" << QDate(2026, 12, 6);
}

void ConfigurationTest::addingMinutesRollsTheDate()
{
    QFETCH(QString, time);
    QFETCH(QDate, date);
    QTEST(addMinutesToTimeText(time, 20, date), "endTime");
    QTEST(date, "endDate");
}

void ConfigurationTest::dateAndTimeTexts()
{
    QCOMPARE(bookingDateText(QDate(2026, 1, 5)), QStringLiteral("2026/01/05"));
    QCOMPARE(bookingTimeText(QTime(9, 5, 59)), QStringLiteral("09:05"));
}

QTEST_GUILESS_MAIN(ConfigurationTest)
#include "configurationtest.moc"

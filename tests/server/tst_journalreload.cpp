// The server's call list from the journal: the newest rows within the row
// limit, read from the end of the call log, with the values a full read
// would show; calls and newer reloads while a long reload runs.
#include "serverfixture.h"

#include "ini.h"
#include "journalreload.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

using namespace vorsa;
using namespace vorsa::test;

namespace {

// The rows of the list, newest first, each as icon + cells.
QStringList rows(const CallListModel& list)
{
    QStringList out;
    for (int r = 0; r < list.rowCount(); ++r)
        out << QString::number(list.rowIcon(r)) + QLatin1Char('|') +
                   list.rowCells(r).join(QLatin1Char('|'));
    return out;
}

// A program folder whose server shows Datum, Anrufer, Name and Versuche.
void prepare(ServerFixture& f, const QString& limit)
{
    f.usePrivatePort();
    f.set("Table", "Name", QStringLiteral("T"));
    for (int i = 1; i <= 4; ++i) {
        static const char* names[] = {"Datum", "Anrufer", "Name", "Versuche"};
        f.set(qPrintable(QStringLiteral("Feld%1").arg(i)), "FieldName",
              QString::fromLatin1(names[i - 1]));
    }
    if (!limit.isNull())
        f.set("Settings", "MaxListenZeilen", limit);
}

void writeJournal(ServerFixture& f, const QStringList& messages)
{
    QByteArray bytes = "   \r\nstopCAPI\r\n";
    for (const QString& m : messages)
        bytes += "*D*" + m.toLatin1() + "\r\n";
    bytes += "stopCAPI\r\n";
    f.write(QStringLiteral("VorsaSvr.log"), bytes);
}

QString entry(int i, const QString& day = QStringLiteral("06"))
{
    return QStringLiteral(
               "Icon=1;Datum=%1.12.2026 09:%2:00;Anrufer=0521%3;Name=Kunde %3;Versuche=0")
        .arg(day)
        .arg(i % 60, 2, 10, QLatin1Char('0'))
        .arg(i);
}

} // namespace

class TestJournalReload : public QObject {
    Q_OBJECT
private slots:
    void limitKeepsTheNewestRows()
    {
        ServerFixture f;
        prepare(f, QStringLiteral("3"));
        f.load();
        QStringList journal;
        for (int i = 1; i <= 5; ++i)
            journal << entry(i, i == 2 ? QStringLiteral("05") : QStringLiteral("06"));
        writeJournal(f, journal);
        auto& list = f.core->callList();
        f.core->mnuAlles_Click();
        QCOMPARE(list.rowCount(), 3);
        QCOMPARE(list.cell(0, 1), QStringLiteral("05215"));
        QCOMPARE(list.cell(2, 1), QStringLiteral("05213"));
        f.core->mnuHeute_Click(); // the 6th: four entries, three shown
        QCOMPARE(list.rowCount(), 3);
        QCOMPARE(list.cell(2, 1), QStringLiteral("05213"));
        QVERIFY(f.reporter.entries.isEmpty());

        // Live calls keep the limit as well: the oldest row goes.
        f.line->ring({}, QStringLiteral("0400000001"));
        QCOMPARE(list.rowCount(), 3);
        QCOMPARE(list.cell(0, 1), QStringLiteral("0400000001"));
        QCOMPARE(list.cell(2, 1), QStringLiteral("05214"));
    }

    void limitSettingIsWrittenBackAndChecked_data()
    {
        QTest::addColumn<QString>("value"); // null: no key
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("said");
        QTest::newRow("missing") << QString() << 10000 << "10000"
                                 << "";
        QTest::newRow("no limit") << "0" << 0 << "0"
                                  << "";
        QTest::newRow("not a number") << "viele" << 10000 << "viele"
                                      << "Fehler: 13";
        QTest::newRow("negative") << "-5" << 10000 << "-5"
                                  << "Fehler: 380";
    }
    void limitSettingIsWrittenBackAndChecked()
    {
        QFETCH(QString, value);
        QFETCH(int, limit);
        QFETCH(QString, written);
        QFETCH(QString, said);
        ServerFixture f;
        prepare(f, value);
        f.load();
        QCOMPARE(f.core->settings().maxListenZeilen, limit);
        QCOMPARE(f.core->callList().maxRows(), limit);
        QCOMPARE(
            IniLesen(QStringLiteral("Settings"), QStringLiteral("MaxListenZeilen"), f.ini(), {}),
            written);
        QCOMPARE(f.reporter.entries.size(), said.isEmpty() ? 0 : 1);
        if (!said.isEmpty()) {
            QCOMPARE(f.reporter.entries[0].title, said);
            QCOMPARE(f.reporter.procedures(),
                     QStringList{QStringLiteral("EinlesenParameterAllgemein")});
        }
        // The keys after it are read all the same.
        QCOMPARE(f.core->settings().secDbConnect, 3);
    }

    // Whatever the journal holds, the limited reload shows exactly the
    // newest rows of a full read: values a line does not name come from the
    // entries before it, a faulty "Icon" ends its entry, a CR inside an
    // entry gives a row of its own.
    void limitedReloadShowsWhatAFullReadShows_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 12; ++seed)
            QTest::newRow(qPrintable(QStringLiteral("journal %1").arg(seed))) << seed;
    }
    void limitedReloadShowsWhatAFullReadShows()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const QStringList keys = {QStringLiteral("Icon"),     QStringLiteral("Datum"),
                                  QStringLiteral("Anrufer"),  QStringLiteral("Name"),
                                  QStringLiteral("Versuche"), QStringLiteral("Fremd")};
        QStringList journal;
        const int entries = 20 + int(random.bounded(60));
        for (int i = 0; i < entries; ++i) {
            QStringList lines;
            const int lineCount = random.bounded(10) == 0 ? 2 : 1;
            for (int l = 0; l < lineCount; ++l) {
                QStringList elements;
                for (const QString& key : keys) {
                    // Most lines name most keys; some name few.
                    if (random.bounded(seed % 3 == 0 ? 2 : 8) == 0)
                        continue;
                    QString value = QStringLiteral("%1-%2").arg(key).arg(i);
                    if (key == u"Icon")
                        value =
                            random.bounded(25) == 0 ? QStringLiteral("x") : QString::number(i % 5);
                    if (key == u"Datum")
                        value = QStringLiteral("%1.12.2026 10:00:00")
                                    .arg(5 + i % 2, 2, 10, QLatin1Char('0'));
                    elements << key + QLatin1Char('=') + value;
                }
                if (random.bounded(15) == 0)
                    elements << QStringLiteral("ohneGleich");
                lines << elements.join(QLatin1Char(';'));
            }
            journal << lines.join(QLatin1Char('\r'));
        }

        ServerFixture full;
        prepare(full, QStringLiteral("0"));
        full.load();
        writeJournal(full, journal);
        full.core->mnuAlles_Click();
        const QStringList all = rows(full.core->callList());
        full.core->mnuHeute_Click();
        const QStringList today = rows(full.core->callList());

        for (int limit : {1, 2, 5, 17, 40, 1000}) {
            ServerFixture f;
            prepare(f, QString::number(limit));
            f.load();
            writeJournal(f, journal);
            f.core->mnuAlles_Click();
            QCOMPARE(rows(f.core->callList()), all.mid(0, limit));
            f.core->mnuHeute_Click();
            QCOMPARE(rows(f.core->callList()), today.mid(0, limit));
        }
    }

    void entriesThatLackAFieldKeepTheReloadBounded()
    {
        // Only the first entry names Name and Versuche; the thousands after
        // it do not (written short, or before the fields existed). A reload
        // within a row limit looks for such values no further back than
        // LookbackEntries entries before its oldest row, not through the
        // whole journal: beyond that they are those the list showed last.
        ServerFixture f;
        prepare(f, QStringLiteral("3"));
        f.load();
        const int count = 3 * JournalReload::LookbackEntries;
        QStringList journal{entry(0)};
        for (int i = 1; i <= count; ++i)
            journal << QStringLiteral("Icon=1;Datum=06.12.2026 10:00:00;Anrufer=0521%1").arg(i);
        writeJournal(f, journal);
        auto& list = f.core->callList();
        f.core->mnuAlles_Click();
        QVERIFY(f.reporter.entries.isEmpty());
        QCOMPARE(rows(list),
                 (QStringList{QStringLiteral("0|06.12.2026 10:00:00|0521%1||").arg(count),
                              QStringLiteral("0|06.12.2026 10:00:00|0521%1||").arg(count - 1),
                              QStringLiteral("0|06.12.2026 10:00:00|0521%1||").arg(count - 2)}));
        // Within that reach an entry before the oldest row gives its values,
        // as a full read does.
        journal.insert(journal.size() - JournalReload::LookbackEntries / 2,
                       QStringLiteral("Icon=2;Name=Nah;Versuche=1"));
        writeJournal(f, journal);
        f.core->mnuAlles_Click();
        QCOMPARE(rows(list).last(),
                 QStringLiteral("0|06.12.2026 10:00:00|0521%1|Nah|1").arg(count - 2));
    }

    void callDuringAReloadStaysOnTop()
    {
        ServerFixture f;
        prepare(f, QStringLiteral("0"));
        f.load();
        QStringList journal;
        for (int i = 0; i < 60000; ++i)
            journal << entry(i);
        writeJournal(f, journal);
        // Rings at the first point where the reload lets events run.
        QTimer::singleShot(0, [&] { f.line->ring({}, QStringLiteral("0400000001")); });
        f.core->mnuAlles_Click();
        auto& list = f.core->callList();
        QCOMPARE(list.rowCount(), 60001);
        QCOMPARE(list.cell(0, 1), QStringLiteral("0400000001"));
        QCOMPARE(list.cell(1, 1), QStringLiteral("052159999"));
        QCOMPARE(list.cell(60000, 1), QStringLiteral("05210"));
        QCOMPARE(f.journal().size(), 60001);
    }

    void newerReloadReplacesARunningOne()
    {
        ServerFixture f;
        prepare(f, QStringLiteral("0"));
        f.load();
        QStringList journal;
        for (int i = 0; i < 60000; ++i)
            journal << entry(i, i % 1000 == 0 ? QStringLiteral("06") : QStringLiteral("05"));
        writeJournal(f, journal);
        bool asked = false;
        QTimer::singleShot(0, [&] {
            asked = true;
            f.core->mnuHeute_Click();
        });
        f.core->mnuAlles_Click();
        QVERIFY(asked);
        QCOMPARE(f.core->callList().rowCount(), 60); // "Heute" only
        QVERIFY(f.reporter.entries.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestJournalReload)
#include "tst_journalreload.moc"

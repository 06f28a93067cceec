// Field definitions, their write-back, the call list and the notification line.
#include "calllistmodel.h"
#include "fielddefinitions.h"
#include "iconlist.h"
#include "ini.h"
#include "reporter.h"
#include "wire/journal.h"
#include "wire/notification.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;

class TestFields : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString ini() const { return m_dir.filePath(QStringLiteral("t.INI")); }
    void writeIni(const QByteArray& text)
    {
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

private slots:
    void init() { QFile::remove(ini()); }

    void withoutSectionsTheThreeFixedFieldsExist()
    {
        FieldDefinitions f;
        RecordingReporter r;
        f.EinlesenDatenfelder(ini(), r);
        QCOMPARE(r.entries.size(), 0);
        QCOMPARE(f.size(), 3);
        QCOMPARE(f.at(0).FieldName, QStringLiteral("Datum"));
        QCOMPARE(f.at(0).ColumnFormat, QStringLiteral("hh:mm  dd.mm.yy"));
        QCOMPARE(f.at(1).FieldName, QStringLiteral("Anrufer"));
        QCOMPARE(f.at(2).FieldName, QStringLiteral("Versuche"));
        for (const auto& d : f) {
            QCOMPARE(d.ColumnWidth, 100);
            QVERIFY(d.ColumnVisible);
        }
    }

    void sectionsAreReadInOrderAndFixedFieldsAppended()
    {
        writeIni("[Feld1]\r\nFieldName= Name "
                 "\r\nColumnName=Kunde\r\nColumnWidth=2000\r\nColumnVisible=0\r\n"
                 "[Feld2]\r\nFieldName=Datum\r\nColumnWidth=1200\r\nColumnVisible=\r\n"
                 "[Feld4]\r\nFieldName=NotRead\r\n");
        FieldDefinitions f;
        RecordingReporter r;
        f.EinlesenDatenfelder(ini(), r);
        QCOMPARE(f.size(), 4);
        QCOMPARE(f.at(0).FieldName, QStringLiteral("Name"));
        QCOMPARE(f.at(0).ColumnHeader, QStringLiteral("Kunde"));
        QVERIFY(!f.at(0).ColumnVisible);
        QCOMPARE(f.at(1).FieldName, QStringLiteral("Datum"));
        QVERIFY(f.at(1).ColumnVisible);            // empty text occurs in every text
        QCOMPARE(f.at(1).ColumnFormat, QString()); // a configured Datum keeps its own format
        QCOMPARE(f.at(2).FieldName, QStringLiteral("Anrufer"));
        QCOMPARE(f.at(3).FieldName, QStringLiteral("Versuche"));
        QVERIFY(!f.find(QStringLiteral("NotRead")));
    }

    void nonNumericWidthEndsTheReading()
    {
        writeIni("[Feld1]\r\nFieldName=A\r\n[Feld2]\r\nFieldName=B\r\nColumnWidth=breit\r\n[Feld3]"
                 "\r\nFieldName=C\r\n");
        FieldDefinitions f;
        RecordingReporter r;
        f.EinlesenDatenfelder(ini(), r);
        QCOMPARE(r.procedures(), QStringList{QStringLiteral("EinlesenDatenfelder")});
        QCOMPARE(r.entries[0].title, QStringLiteral("Fehler: 13"));
        // B was created before its width failed; C and the fixed fields never come.
        QCOMPARE(f.size(), 2);
        QVERIFY(!f.find(QStringLiteral("Datum")));
    }

    void duplicateNameIsReportedAndOverwritesTheFirst()
    {
        writeIni("[Feld1]\r\nFieldName=Name\r\nColumnName=Erst\r\n[Feld2]\r\nFieldName="
                 "NAME\r\nColumnName=Zweit\r\n"
                 "[Feld3]\r\nFieldName=datum\r\n");
        FieldDefinitions f;
        RecordingReporter r;
        f.EinlesenDatenfelder(ini(), r);
        // The second Name; "datum" is the fixed date field and is not added twice.
        QCOMPARE(r.procedures(), QStringList{QStringLiteral("ClassDatenInstanzieren")});
        QCOMPARE(r.entries[0].title, QStringLiteral("Fehler: 457"));
        QCOMPARE(f.find(QStringLiteral("name"))->ColumnHeader, QStringLiteral("Zweit"));
        QCOMPARE(f.size(), 4); // Name, datum, Anrufer, Versuche
        QCOMPARE(f.find(QStringLiteral("Datum"))->FieldName, QStringLiteral("datum"));
    }

    void writeBackFollowsDisplayPositionThenHiddenFields()
    {
        writeIni(
            "; Kommentar bleibt\r\n[Feld1]\r\nFieldName=Datum\r\nColumnFormat=hh:mm\r\n"
            "[Feld2]\r\nFieldName=Geheim\r\nColumnVisible=0\r\nColumnName=G\r\nColumnWidth=50\r\n"
            "[Feld3]\r\nFieldName=Anrufer\r\n[Feld4]\r\nFieldName=Versuche\r\n"
            "[Feld9]\r\nFieldName=Alt\r\n");
        FieldDefinitions f;
        RecordingReporter r;
        f.EinlesenDatenfelder(ini(), r);
        // The user dragged Versuche (third column) to the front and widened Datum.
        QList<FieldDefinitions::Column> columns{
            {QStringLiteral("Datum"), QStringLiteral("Datum"), 1234.7, 2},
            {QStringLiteral("Anrufer"), QStringLiteral("Anrufer"), 100, 3},
            {QStringLiteral("Versuche"), QStringLiteral("Versuche"), 100, 1},
        };
        f.writeBack(ini(), columns);
        auto v = [&](int n, const char* key) {
            return IniLesen(QStringLiteral("Feld%1").arg(n), QString::fromLatin1(key), ini(),
                            QStringLiteral("?"));
        };
        QCOMPARE(v(1, "FieldName"), QStringLiteral("Versuche"));
        QCOMPARE(v(2, "FieldName"), QStringLiteral("Datum"));
        QCOMPARE(v(2, "ColumnWidth"), QStringLiteral("1234"));
        QCOMPARE(v(2, "ColumnFormat"), QStringLiteral("hh:mm"));
        QCOMPARE(v(2, "ColumnVisible"), QStringLiteral("1"));
        QCOMPARE(v(3, "FieldName"), QStringLiteral("Anrufer"));
        QCOMPARE(v(4, "FieldName"), QStringLiteral("Geheim"));
        QCOMPARE(v(4, "ColumnName"), QStringLiteral("G"));
        QCOMPARE(v(4, "ColumnWidth"), QStringLiteral("50"));
        QCOMPARE(v(4, "ColumnVisible"), QStringLiteral("0"));
        QCOMPARE(v(9, "FieldName"), QStringLiteral("Alt")); // higher sections stay
        QFile file(ini());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("; Kommentar bleibt\r\n"));
    }

    void rowsGoOnTopWithOneCellPerVisibleField()
    {
        FieldDefinitions f;
        f.ClassDatenInstanzieren(QStringLiteral("Hidden")).ColumnVisible = false;
        auto& a = f.ClassDatenInstanzieren(QStringLiteral("Anrufer"));
        a.ColumnVisible = true;
        auto& n = f.ClassDatenInstanzieren(QStringLiteral("Name"));
        n.ColumnVisible = true;
        CallListModel model;
        model.setColumns({{QStringLiteral("Anrufer"), QStringLiteral("Anrufer"), 100},
                          {QStringLiteral("Name"), QStringLiteral("Name"), 100}});
        Call call = f.emptyCall();
        call.values = {QStringLiteral("geheim"), QStringLiteral("0521"),
                       QVariant()}; // a database null shows as empty text
        call.icon = 7;
        ListView1DatenAdd(model, f, call, 5);
        call.values = {QStringLiteral("geheim"), QStringLiteral("0522"), QStringLiteral("Meier")};
        call.icon = -1;
        ListView1DatenAdd(model, f, call, 5);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.rowCells(0), (QStringList{QStringLiteral("0522"), QStringLiteral("Meier")}));
        QCOMPARE(model.rowCells(1), (QStringList{QStringLiteral("0521"), QString()}));
        QCOMPARE(model.rowIcon(0), 0); // below 0 shows no icon
        QCOMPARE(model.rowIcon(1), 5); // above the icon count shows the last icon
        QCOMPARE(model.data(model.index(0, 1), Qt::ToolTipRole).toString(),
                 QStringLiteral("Meier"));
    }

    void bulkLoadSignalsOnceAndKeepsOrder()
    {
        CallListModel model;
        model.setColumns({{QStringLiteral("A"), QStringLiteral("A"), 100}});
        int resets = 0, inserts = 0;
        connect(&model, &QAbstractItemModel::modelReset, this, [&] { ++resets; });
        connect(&model, &QAbstractItemModel::rowsInserted, this, [&] { ++inserts; });
        model.beginBulk();
        for (int i = 0; i < 1000; ++i)
            model.addRow(1, {QString::number(i)});
        model.endBulk();
        QCOMPARE(resets, 1);
        QCOMPARE(inserts, 0);
        QCOMPARE(model.rowCount(), 1000);
        QCOMPARE(model.cell(0, 0), QStringLiteral("999"));
    }

    void notificationLineReplacesSeparatorsAndLineBreaks()
    {
        FieldDefinitions f;
        for (const char* name : {"Datum", "Anrufer", "Info", "Leer", "Versuche"})
            f.ClassDatenInstanzieren(QString::fromLatin1(name));
        Call call;
        call.icon = 1;
        call.values = {QDateTime(QDate(2026, 12, 6), QTime(9, 14, 5)), QStringLiteral("A=B;C"),
                       QStringLiteral("Zeile1\r\nZeile2"), QVariant(), 0};
        QCOMPARE(composeNotification(call, f),
                 QStringLiteral("Icon=1;Datum=06.12.2026 09:14:05;Anrufer=A B C;Info=Zeile1  "
                                "Zeile2;Leer=;Versuche=0"));
        call.icon = 3;
        call.values[0] = QDateTime(QDate(2026, 12, 6), QTime(0, 0));
        QVERIFY(
            composeNotification(call, f).startsWith(QStringLiteral("Icon=3;Datum=06.12.2026;")));
    }

    void journalDateSelection_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("selected");
        QTest::newRow("all") << "Icon=1;Datum=05.12.2026 10:00:00"
                             << "" << true;
        QTest::newRow("same day") << "Icon=1;Datum=06.12.2026 10:00:00"
                                  << "06.12.2026" << true;
        QTest::newRow("other day") << "Icon=1;Datum=05.12.2026 10:00:00"
                                   << "06.12.2026" << false;
        QTest::newRow("upper case key") << "Icon=1;DATUM=06.12.2026 10:00:00"
                                        << "06.12.2026" << true;
        // Without "datum=" the ten characters from the sixth are compared.
        QTest::newRow("no datum") << "Icon=06.12.2026"
                                  << "06.12.2026" << true;
        QTest::newRow("no datum, other") << "Icon=1;Name=x"
                                         << "06.12.2026" << false;
    }
    void journalDateSelection()
    {
        QFETCH(QString, message);
        QFETCH(QString, filter);
        QFETCH(bool, selected);
        QCOMPARE(journal::selected(message, filter), selected);
    }

    void iconsStopAtFirstEmptyKeyAndSkipBrokenFiles()
    {
        QFile good(m_dir.filePath(QStringLiteral("a.png")));
        QVERIFY(good.open(QIODevice::WriteOnly));
        good.write("not empty");
        good.close();
        writeIni("[ICONS]\r\nICON1=a.png\r\nICON2=fehlt.png\r\nICON3=a.png\r\nICON5=a.png\r\n");
        FileIconList icons;
        RecordingReporter r;
        // ICON3 keeps its number 3 (the server's "not identified"); 2 stays empty.
        QCOMPARE(EinlesenIcons(ini(), m_dir.path(), icons, r), 3);
        QCOMPARE(icons.paths().at(1), QString());
        QVERIFY(icons.paths().at(2).endsWith(QStringLiteral("a.png")));
        QCOMPARE(r.procedures(), QStringList{QStringLiteral("ImageList1Aufbauen")});
        QCOMPARE(r.entries[0].title, QStringLiteral("Fehler: 53"));

        // A broken last file does not count.
        writeIni("[ICONS]\r\nICON1=a.png\r\nICON2=fehlt.png\r\n");
        QCOMPARE(EinlesenIcons(ini(), m_dir.path(), icons, r), 1);
    }
};

QTEST_GUILESS_MAIN(TestFields)
#include "tst_fields.moc"

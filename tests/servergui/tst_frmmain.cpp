// The server window: its elements, menus, the scrolling panel and the restart
// timer around the number index window.
#include "desktop.h"
#include "gui/frmmain.h"
#include "ini.h"
#include "reporter.h"
#include "serverfixture.h"

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace vorsa;
using test::ScriptedLine;

class TestServerWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    RecordingReporter m_reporter;
    RecordingDesktop m_desktop;

    QString ini() const { return m_dir.filePath(QStringLiteral("VorsaSrv.INI")); }
    void set(const char* section, const char* key, const QString& value)
    {
        IniSchreiben(QString::fromLatin1(section), QString::fromLatin1(key), ini(), value);
    }
    std::unique_ptr<frmMain> open()
    {
        return std::make_unique<frmMain>(m_dir.path(), createBuiltinLine, &m_reporter, &m_desktop);
    }

private slots:
    void init()
    {
        QFile::remove(ini());
        m_reporter.clear();
        set("Settings", "LocalPort", QString::number(test::freePort()));
        set("Table", "Name", QStringLiteral("T"));
        set("Settings", "Line", QStringLiteral("NONE"));
    }

    void showsItsElementsAndMenus()
    {
        auto w = open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Vorsamelder-SERVER  CAPI/TCP-Schnittstelle"));
        for (const char* name :
             {"Label1", "CapiInfo", "Label2", "DebugList", "Label4", "lstConnections", "Label3",
              "ListView1", "Label5", "Label6", "Picture1"})
            QVERIFY2(w->findChild<QWidget*>(QString::fromLatin1(name)), name);
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Start Capi Ergebnis"));
        QCOMPARE(w->findChild<QLineEdit*>(QStringLiteral("CapiInfo"))->text(),
                 QStringLiteral("startCAPI()=False - failed"));
        QVERIFY(w->findChild<QLabel*>(QStringLiteral("Label6"))
                    ->text()
                    .startsWith(QStringLiteral("LocalPort: ")));
        auto* stamm = w->findChild<QMenu*>(QStringLiteral("mnuStammdaten"));
        QVERIFY(stamm && !stamm->menuAction()->isVisible());
        QCOMPARE(w->findChild<QTreeView*>(QStringLiteral("ListView1"))->model()->columnCount(), 3);
    }

    void masterDataMenuForEitherSourceInAnyCase()
    {
        set("Settings", "Application", QStringLiteral("Drovo"));
        auto w = open();
        QVERIFY(w->findChild<QMenu*>(QStringLiteral("mnuStammdaten"))->menuAction()->isVisible());
    }

    void scrollBarsFollowTheWindowSize()
    {
        auto w = open();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        auto* area = w->findChild<QScrollArea*>();
        w->resize(1400, 1000);
        QTest::qWait(50);
        QVERIFY(!area->verticalScrollBar()->isVisible());
        QVERIFY(!area->horizontalScrollBar()->isVisible());
        w->resize(1400, 300);
        QTest::qWait(50);
        QVERIFY(area->verticalScrollBar()->isVisible());
        QVERIFY(!area->horizontalScrollBar()->isVisible());
        area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
        QVERIFY(w->findChild<QWidget*>(QStringLiteral("Picture1"))->y() < 0);
        w->close();
    }

    void restartTimerRunsAgainAfterTheIndexWindow()
    {
        set("Settings", "Application", QStringLiteral("KUNDEN"));
        auto w = open();
        QVERIFY(w->core().restartTimerActive());
        bool timerStoppedMeanwhile = false;
        QTimer::singleShot(200, this, [&] {
            timerStoppedMeanwhile = !w->core().restartTimerActive();
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        w->findChild<QAction*>(QStringLiteral("mnuTelNrGenerieren"))->trigger();
        QVERIFY(timerStoppedMeanwhile);
        QVERIFY(w->core().restartTimerActive());
    }

    void anOpenErrorBoxHoldsBackNoCall()
    {
        // The window's own boxes; the database is missing, so every call says so.
        set("Table", "SQL1.1", QStringLiteral("SELECT Name FROM T WHERE Nr = '/*CallingNr*/'"));
        ScriptedLine* line = nullptr;
        LineFactory lines = [&](const QString&, const LineContext&) {
            auto l = std::make_unique<ScriptedLine>();
            line = l.get();
            return std::unique_ptr<IPhoneLine>(std::move(l));
        };
        frmMain w(m_dir.path(), lines, nullptr, &m_desktop);
        QVERIFY(line);
        const QString log = m_dir.filePath(QStringLiteral("VorsaSvr.log"));
        auto journalLines = [&] {
            QFile f(log);
            return f.open(QIODevice::ReadOnly) ? int(f.readAll().count("*D*")) : -1;
        };
        const int before = journalLines();
        // A modal box would sit there until clicked: this closes it, and fails.
        bool modalBox = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, this, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modalBox = true;
                modal->close();
            }
        });
        watchdog.start(2000);
        line->ring({}, QStringLiteral("0521111"));
        QVERIFY(!modalBox);
        // The box is open and not modal; the next calls go out meanwhile.
        QTRY_VERIFY(!w.findChildren<QMessageBox*>().isEmpty());
        QVERIFY(!QApplication::activeModalWidget());
        line->ring({}, QStringLiteral("0521222"));
        line->ring({}, QStringLiteral("0521333"));
        QCOMPARE(journalLines(), before + 3);
        QCOMPARE(w.core().callList().rowCount(), 3);
        // The same message is shown once while its box is open.
        const auto boxes = w.findChildren<QMessageBox*>();
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0]->text().startsWith(QStringLiteral("[AnruferSuchen]")));
        QVERIFY(boxes[0]->isVisible());
        boxes[0]->accept();
        QTRY_VERIFY(w.findChildren<QMessageBox*>().isEmpty());
    }

    void closingWritesTheColumnsInDisplayOrder()
    {
        auto w = open();
        auto* header = w->findChild<QTreeView*>(QStringLiteral("ListView1"))->header();
        header->moveSection(2, 0); // Versuche to the front
        w->close();
        QCOMPARE(IniLesen(QStringLiteral("Feld1"), QStringLiteral("FieldName"), ini(), {}),
                 QStringLiteral("Versuche"));
        QCOMPARE(IniLesen(QStringLiteral("Feld2"), QStringLiteral("FieldName"), ini(), {}),
                 QStringLiteral("Datum"));
        // An untouched width keeps its configured twips.
        QCOMPARE(IniLesen(QStringLiteral("Feld2"), QStringLiteral("ColumnWidth"), ini(), {}),
                 QStringLiteral("100"));
    }
};

QTEST_MAIN(TestServerWindow)
#include "tst_frmmain.moc"

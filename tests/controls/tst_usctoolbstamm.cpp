#include "propertybag.h"
#include "reporter.h"
#include "toolbarkeyboard.h"
#include "usctoolbstamm.h"
#include "vberror.h"

#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QLineEdit>
#include <QMetaProperty>
#include <QToolBar>
#include <QToolButton>
#include <QUiLoader>
#include <QVBoxLayout>
#include <QtTest>

using namespace vorsa;

namespace {

// A host form with the toolbar on top.
struct Form {
    QWidget window;
    uscToolbStamm* bar;
    QLineEdit* field;
    RecordingReporter reporter;
    QStringList events; // the toolbar's events in order

    Form()
    {
        window.setWindowTitle(QStringLiteral("Kundenstamm"));
        window.resize(900, 200);
        auto* layout = new QVBoxLayout(&window);
        bar = new uscToolbStamm(&window);
        field = new QLineEdit(&window);
        layout->addWidget(bar);
        layout->addWidget(field);
        bar->setReporter(&reporter);
        record();
    }
    void record()
    {
        auto plain = [this](void (uscToolbStamm::*signal)(), const char* name) {
            QObject::connect(bar, signal, bar,
                             [this, name] { events << QString::fromLatin1(name); });
        };
        plain(&uscToolbStamm::ButtonClickDelete, "Delete");
        plain(&uscToolbStamm::ButtonClickMoveFirst, "MoveFirst");
        plain(&uscToolbStamm::ButtonClickMovePrevious, "MovePrevious");
        plain(&uscToolbStamm::ButtonClickMoveNext, "MoveNext");
        plain(&uscToolbStamm::ButtonClickMoveLast, "MoveLast");
        plain(&uscToolbStamm::ButtonClickListenansicht, "Listenansicht");
        plain(&uscToolbStamm::ButtonClickRefresh, "Refresh");
        plain(&uscToolbStamm::ButtonClickBelegDruck, "BelegDruck");
        plain(&uscToolbStamm::ButtonClickPrintScreen, "PrintScreen");
        QObject::connect(bar, &uscToolbStamm::ButtonClick, bar, [this](QAction* button) {
            events << QStringLiteral("ButtonClick ") + button->objectName();
        });
        QObject::connect(bar, &uscToolbStamm::ListenAnsicht, bar, [this](bool on) {
            events << (on ? QStringLiteral("ListenAnsicht true")
                          : QStringLiteral("ListenAnsicht false"));
        });
        auto cancellable = [this](void (uscToolbStamm::*signal)(bool&), const char* name) {
            QObject::connect(bar, signal, bar, [this, name](bool& cancel) {
                events << QString::fromLatin1(name);
                cancel = cancelNext;
                cancelNext = false;
            });
        };
        cancellable(&uscToolbStamm::ButtonClickAddNew, "AddNew");
        cancellable(&uscToolbStamm::ButtonClickSave, "Save");
        cancellable(&uscToolbStamm::ButtonClickBearbeiten, "Bearbeiten");
        cancellable(&uscToolbStamm::ButtonClickUndo, "Undo");
    }
    bool show()
    {
        window.show();
        return QTest::qWaitForWindowActive(&window);
    }
    QAction* button(const QString& key) const { return bar->Buttons(key); }
    bool enabled(const QString& key) const { return button(key)->isEnabled(); }
    bool visible(const QString& key) const { return button(key)->isVisible(); }
    // A click with the mouse: nothing happens on a disabled button.
    void click(const QString& key)
    {
        QWidget* w = bar->Toolbar1()->widgetForAction(button(key));
        QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
    }
    // The enabled buttons among the commands that an edit state governs.
    QStringList enabledCommands() const
    {
        QStringList out;
        for (const char* key : {"First", "Prev", "Next", "Last", "VW-List", "New", "Prop", "Save",
                                "Undo", "Delete", "Refresh", "Print", "PrintScreen"}) {
            if (enabled(QString::fromLatin1(key)))
                out << QString::fromLatin1(key);
        }
        return out;
    }

    bool cancelNext = false;
};

const QStringList kBrowsing{"First", "Prev",   "Next",    "Last",  "VW-List",    "New",
                            "Prop",  "Delete", "Refresh", "Print", "PrintScreen"};
const QStringList kEditing{"Save", "Undo"};

} // namespace

class TestToolbar : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        // No print system: libcups asks a server that is not there.
        qputenv("CUPS_SERVER", QFile::encodeName(m_dir.filePath(QStringLiteral("cups.sock"))));
    }

    void buttonsAreCreatedInOrder()
    {
        Form f;
        QVERIFY(f.show());
        const QList<QAction*> actions = f.bar->Toolbar1()->actions();
        QCOMPARE(actions.size(), 25);
        QStringList keys;
        for (QAction* a : actions)
            keys << (a->isSeparator() && a->objectName().isEmpty() ? QStringLiteral("|")
                                                                   : a->objectName());
        QCOMPARE(keys, (QStringList{"DataCombo",
                                    "|",
                                    "First",
                                    "Prev",
                                    "Next",
                                    "Last",
                                    "|",
                                    "VW-List",
                                    "|",
                                    "txtSuchen",
                                    "sepSuchen1",
                                    "EndeMitKopie",
                                    "EndeOhneKopie",
                                    "sepSuchen2",
                                    "New",
                                    "Prop",
                                    "Save",
                                    "Undo",
                                    "|",
                                    "Delete",
                                    "|",
                                    "Refresh",
                                    "|",
                                    "Print",
                                    "PrintScreen"}));
        QCOMPARE(f.button("First")->toolTip(), QStringLiteral("Zum ersten Datensatz  [F5]"));
        QCOMPARE(f.button("Undo")->toolTip(), QStringLiteral("Abbrechen / Rückgängig  [ESC]"));
        QCOMPARE(f.button("EndeMitKopie")->toolTip(),
                 QStringLiteral("Beenden und ausgewählten Datensatz übernehmen."));
        QCOMPARE(f.button("PrintScreen")->toolTip(), QStringLiteral("Bildschirm drucken  [Druck]"));
        for (QAction* a : actions) {
            if (a->isSeparator() || f.bar->Toolbar1()->widgetForAction(a)->inherits("QToolButton"))
                continue;
            QCOMPARE(f.bar->Toolbar1()->widgetForAction(a)->width(), 133); // 2000 twips
        }
        for (const QString& key : kBrowsing + kEditing + QStringList{"EndeMitKopie"}) {
            QCOMPARE(f.button(key)->text(), f.button(key)->toolTip());
            QVERIFY2(!f.button(key)->icon().isNull(), qPrintable(key));
        }
        QCOMPARE(f.enabledCommands(), kBrowsing);
        for (const char* key :
             {"txtSuchen", "sepSuchen1", "EndeMitKopie", "EndeOhneKopie", "sepSuchen2"})
            QVERIFY(!f.visible(QString::fromLatin1(key)));
        // The tenant list lies over its placeholder; the search box is hidden.
        QWidget* room = f.bar->Toolbar1()->widgetForAction(f.button("DataCombo"));
        QCOMPARE(f.bar->cboMandant()->geometry(),
                 QRect(room->mapTo(f.bar, QPoint(0, 0)), room->size()));
        QVERIFY(f.bar->cboMandant()->isVisible());
        QVERIFY(!f.bar->txtSuchen()->isVisible());
        QCOMPARE(f.bar->height(), 27); // 405 twips
        f.bar->resize(500, 80);
        QCOMPARE(f.bar->height(), 27);
    }

    void newAndSaveFollowTheEditState()
    {
        Form f;
        QVERIFY(f.show());
        f.click(QStringLiteral("New"));
        QCOMPARE(f.events, (QStringList{"AddNew", "ButtonClick New"}));
        QCOMPARE(f.enabledCommands(), kEditing);
        QVERIFY(!f.bar->cboMandant()->isEnabled());
        f.click(QStringLiteral("New")); // disabled now: nothing
        QCOMPARE(f.events.size(), 2);
        f.click(QStringLiteral("Save"));
        QCOMPARE(f.events.mid(2), (QStringList{"Save", "ButtonClick Save"}));
        QCOMPARE(f.enabledCommands(), kBrowsing);
        QVERIFY(f.bar->cboMandant()->isEnabled());
        f.click(QStringLiteral("Prop"));
        f.click(QStringLiteral("Undo"));
        QCOMPARE(f.events.mid(4),
                 (QStringList{"Bearbeiten", "ButtonClick Prop", "Undo", "ButtonClick Undo"}));
        QCOMPARE(f.enabledCommands(), kBrowsing);
    }

    void cancelledCommandsKeepOrLeaveTheEditState()
    {
        Form f;
        QVERIFY(f.show());
        f.cancelNext = true;
        f.click(QStringLiteral("New"));
        QCOMPARE(f.enabledCommands(), kBrowsing); // a cancelled AddNew returns to browsing
        f.click(QStringLiteral("Prop"));
        f.cancelNext = true;
        f.click(QStringLiteral("Save"));
        QCOMPARE(f.enabledCommands(), kEditing); // a cancelled Save stays in editing
        f.cancelNext = true;
        f.click(QStringLiteral("Undo"));
        QCOMPARE(f.enabledCommands(), kEditing);
        f.click(QStringLiteral("Undo"));
        QCOMPARE(f.enabledCommands(), kBrowsing);
    }

    void flagsLimitTheButtons()
    {
        Form f;
        QVERIFY(f.show());
        f.bar->setButtonSave(false);
        QVERIFY(!f.enabled(QStringLiteral("Save")));
        f.click(QStringLiteral("Prop"));
        QCOMPARE(f.enabledCommands(), QStringList{"Undo"}); // Save stays off, Undo works
        f.click(QStringLiteral("Undo"));
        QCOMPARE(f.events.last(), QStringLiteral("ButtonClick Undo"));

        // A write applies at once, whatever the edit state.
        f.click(QStringLiteral("New"));
        f.bar->setButtonNew(true);
        QVERIFY(f.enabled(QStringLiteral("New")));
        f.bar->setButtonData(false);
        QVERIFY(!f.enabled(QStringLiteral("First")) && !f.enabled(QStringLiteral("Last")));
        f.bar->setButtonPrint(false);
        QVERIFY(!f.visible(QStringLiteral("Print")));
        f.click(QStringLiteral("Undo"));
        QCOMPARE(f.enabledCommands(),
                 (QStringList{"VW-List", "New", "Prop", "Delete", "Refresh", "PrintScreen"}));
    }

    void mandantLockKeepsTheListDisabled()
    {
        Form f;
        QVERIFY(f.show());
        f.bar->setButtonMandantLock(true);
        QVERIFY(!f.bar->cboMandant()->isEnabled());
        f.click(QStringLiteral("Prop"));
        QVERIFY(!f.bar->cboMandant()->isEnabled());
        f.click(QStringLiteral("Save"));
        QVERIFY(!f.bar->cboMandant()->isEnabled());
        f.click(QStringLiteral("VW-List"));
        f.click(QStringLiteral("VW-List"));
        QVERIFY(!f.bar->cboMandant()->isEnabled());
        f.bar->setButtonMandantLock(false);
        QVERIFY(f.bar->cboMandant()->isEnabled());
    }

    void tableViewShowsTheSearchBox_data()
    {
        QTest::addColumn<bool>("ende");
        QTest::newRow("ButtonEnde false") << false;
        QTest::newRow("ButtonEnde true") << true;
    }
    void tableViewShowsTheSearchBox()
    {
        QFETCH(bool, ende);
        Form f;
        QVERIFY(f.show());
        f.bar->setButtonEnde(ende);
        f.bar->txtSuchen()->setText(QStringLiteral("Mei"));
        f.click(QStringLiteral("VW-List"));
        QVERIFY(f.bar->ListenAnsichtOn());
        QVERIFY(f.visible(QStringLiteral("txtSuchen")) && f.visible(QStringLiteral("sepSuchen1")));
        for (const char* key : {"EndeMitKopie", "EndeOhneKopie", "sepSuchen2"})
            QCOMPARE(f.visible(QString::fromLatin1(key)), ende);
        QCOMPARE(f.enabledCommands(), (QStringList{"First", "Prev", "Next", "Last", "VW-List"}));
        QTRY_VERIFY(f.bar->txtSuchen()->isVisible());
        QWidget* room = f.bar->Toolbar1()->widgetForAction(f.button("txtSuchen"));
        const QPoint roomAt = room->mapTo(f.bar, QPoint(0, 0));
        QCOMPARE(f.bar->txtSuchen()->x(), roomAt.x());
        QCOMPARE(f.bar->txtSuchen()->width(), room->width());
        QVERIFY(f.bar->txtSuchen()->hasFocus());
        QCOMPARE(f.bar->txtSuchen()->selectedText(), QStringLiteral("Mei"));
        if (ende) {
            f.click(QStringLiteral("EndeMitKopie")); // no command of its own
            QCOMPARE(f.events.last(), QStringLiteral("ButtonClick EndeMitKopie"));
        }
    }

    void twoListClicksReturnToTheDetailView()
    {
        Form f;
        QVERIFY(f.show());
        f.click(QStringLiteral("VW-List"));
        QCOMPARE(f.events,
                 (QStringList{"Listenansicht", "ListenAnsicht true", "ButtonClick VW-List"}));
        f.events.clear();
        f.click(QStringLiteral("VW-List"));
        QCOMPARE(f.events,
                 (QStringList{"Listenansicht", "ListenAnsicht false", "ButtonClick VW-List"}));
        QVERIFY(!f.bar->ListenAnsichtOn());
        QVERIFY(!f.bar->txtSuchen()->isVisible());
        QVERIFY(!f.visible(QStringLiteral("txtSuchen")));
        QCOMPARE(f.enabledCommands(), kBrowsing);
    }

    void deleteAsksFirst()
    {
        Form f;
        QVERIFY(f.show());
        f.reporter.answers = {false, true};
        f.click(QStringLiteral("Delete"));
        QCOMPARE(f.events, QStringList{"ButtonClick Delete"});
        QCOMPARE(f.reporter.entries.size(), 1);
        const RecordingReporter::Entry& question = f.reporter.entries.first();
        QVERIFY(question.question);
        QCOMPARE(question.text, QStringLiteral("Datensatz löschen"));
        QCOMPARE(question.title, QStringLiteral("Löschen"));
        QCOMPARE(question.icon, MessageIcon::Question);
        f.events.clear();
        f.click(QStringLiteral("Delete"));
        QCOMPARE(f.events, (QStringList{"Delete", "ButtonClick Delete"}));
    }

    void commandsRunFromTheHostWithoutButtonClick()
    {
        Form f;
        QVERIFY(f.show());
        f.click(QStringLiteral("Prop")); // Delete is disabled while editing
        f.events.clear();
        f.reporter.answers = {true};
        f.bar->Toolbar_ButtonClick(QStringLiteral("Delete"));
        QCOMPARE(f.reporter.entries.size(), 1);
        QCOMPARE(f.events, QStringList{"Delete"});
        f.events.clear();
        for (const char* key : {"First", "Prev", "Next", "Last", "Refresh", "Print"})
            f.bar->Toolbar_ButtonClick(QString::fromLatin1(key));
        QCOMPARE(f.events, (QStringList{"MoveFirst", "MovePrevious", "MoveNext", "MoveLast",
                                        "Refresh", "BelegDruck"}));
        f.events.clear();
        f.bar->Toolbar_ButtonClick(QStringLiteral("Gibt es nicht"));
        f.bar->Toolbar_ButtonClick(QStringLiteral("EndeOhneKopie"));
        QVERIFY(f.events.isEmpty());
        QCOMPARE(f.reporter.entries.size(), 1);
        // The same through the meta-object, as a host that knows only the class name.
        QVERIFY(QMetaObject::invokeMethod(f.bar, "Toolbar_ButtonClick",
                                          Q_ARG(QString, QStringLiteral("Next"))));
        QCOMPARE(f.events, QStringList{"MoveNext"});
    }

    void printScreenWithoutPrinterSaysSo()
    {
        Form f;
        QVERIFY(f.show());
        f.click(QStringLiteral("PrintScreen"));
        QCOMPARE(f.events, (QStringList{"PrintScreen", "ButtonClick PrintScreen"}));
        QCOMPARE(f.reporter.entries.size(), 1);
        QCOMPARE(f.reporter.entries.first().text, QStringLiteral("Kein Drucker vorhanden!"));
        QCOMPARE(f.reporter.entries.first().title, QStringLiteral("Kundenstamm"));
        QCOMPARE(f.reporter.entries.first().icon, MessageIcon::Critical);
    }

    void printScreenPrintsTheHostWindowAndIgnoresOtherFailures()
    {
        Form f;
        QVERIFY(f.show());
        QWidget* printed = nullptr;
        f.bar->setFormPrinter([&](QWidget* window) { printed = window; });
        f.bar->Toolbar_ButtonClick(QStringLiteral("PrintScreen"));
        QCOMPARE(printed, &f.window);
        f.bar->setFormPrinter([](QWidget*) { throw VbError(75, QStringLiteral("Pfad")); });
        f.bar->Toolbar_ButtonClick(QStringLiteral("PrintScreen"));
        QVERIFY(f.reporter.entries.isEmpty());
    }

    void searchAndFocus()
    {
        Form f;
        QVERIFY(f.show());
        QStringList seen;
        connect(f.bar, &uscToolbStamm::SuchenChange, f.bar, [&](QString& text) { seen << text; });
        f.click(QStringLiteral("VW-List"));
        QTest::keyClicks(f.bar->txtSuchen(), QStringLiteral("Me"));
        QCOMPARE(seen, (QStringList{"M", "Me"}));
        f.field->setFocus();
        f.bar->SetFocusToSuchen();
        QVERIFY(f.bar->txtSuchen()->hasFocus());
        QCOMPARE(f.bar->txtSuchen()->selectedText(), QStringLiteral("Me"));
    }

    void keysAndMouseReachTheHost()
    {
        Form f;
        QVERIFY(f.show());
        QList<int> down;
        connect(f.bar, &uscToolbStamm::KeyDown, f.bar,
                [&](qint16& code, qint16&) { down << code; });
        f.click(QStringLiteral("VW-List"));
        // A key the search box does not use goes on to the control.
        QTest::keyClick(f.bar->txtSuchen(), Qt::Key_F5);
        QCOMPARE(down, QList<int>{116});
        QStringList mouse;
        connect(f.bar, &uscToolbStamm::MouseDown, f.bar, [&](qint16 b, qint16, float x, float) {
            mouse << QStringLiteral("Down %1 %2").arg(b).arg(x);
        });
        connect(f.bar, &uscToolbStamm::Click, f.bar, [&] { mouse << QStringLiteral("Click"); });
        QTest::mouseClick(f.bar->Toolbar1(), Qt::LeftButton, {},
                          QPoint(f.bar->Toolbar1()->width() - 3, 5));
        QCOMPARE(mouse, (QStringList{
                            QStringLiteral("Down 1 %1").arg((f.bar->Toolbar1()->width() - 3) * 15),
                            "Click"}));
    }

    void doubleClickOnTheBarRaisesClickOnce()
    {
        Form f;
        QVERIFY(f.show());
        QStringList mouse;
        connect(f.bar, &uscToolbStamm::MouseDown, f.bar, [&] { mouse << QStringLiteral("Down"); });
        connect(f.bar, &uscToolbStamm::MouseUp, f.bar, [&] { mouse << QStringLiteral("Up"); });
        connect(f.bar, &uscToolbStamm::Click, f.bar, [&] { mouse << QStringLiteral("Click"); });
        connect(f.bar, &uscToolbStamm::DblClick, f.bar,
                [&] { mouse << QStringLiteral("DblClick"); });
        // What a double click delivers: press, release, double click, release.
        QToolBar* bar = f.bar->Toolbar1();
        const QPoint at(bar->width() - 3, 5);
        QTest::mousePress(bar, Qt::LeftButton, {}, at);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
        QTest::mouseDClick(bar, Qt::LeftButton, {}, at);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
        QCOMPARE(mouse, (QStringList{"Down", "Up", "Click", "DblClick", "Up"}));
        // The next click is a click again.
        mouse.clear();
        QTest::mouseClick(bar, Qt::LeftButton, {}, at, 500);
        QCOMPARE(mouse, (QStringList{"Down", "Up", "Click"}));
    }

    void keyboardHelperRunsTheEnabledButtons()
    {
        Form f;
        orvo::ToolbarKeyboard::install(&f.window, f.bar);
        QVERIFY(f.show());
        f.field->setFocus();
        auto press = [&](Qt::Key key) { QTest::keyClick(f.field, key); };
        press(Qt::Key_F5);
        press(Qt::Key_F8);
        QCOMPARE(f.events, (QStringList{"MoveFirst", "MoveLast"}));
        f.events.clear();
        press(Qt::Key_Return); // browsing: edit
        QCOMPARE(f.events, QStringList{"Bearbeiten"});
        press(Qt::Key_F9);     // New is disabled while editing
        press(Qt::Key_Return); // editing: save
        QCOMPARE(f.events, (QStringList{"Bearbeiten", "Save"}));
        press(Qt::Key_F9);
        press(Qt::Key_Escape);
        QCOMPARE(f.events.mid(2), (QStringList{"AddNew", "Undo"}));
        f.events.clear();
        f.reporter.answers = {true};
        press(Qt::Key_F10);
        press(Qt::Key_F12);
        press(Qt::Key_Print);
        QCOMPARE(f.events.first(), QStringLiteral("Delete"));
        QVERIFY(f.events.contains(QStringLiteral("Listenansicht")));
        QVERIFY(!f.events.contains(QStringLiteral("PrintScreen"))); // disabled in table view
    }

    void everyPropertyWriteIsReported()
    {
        Form f;
        const QMetaObject* meta = &uscToolbStamm::staticMetaObject;
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            const QMetaProperty p = meta->property(i);
            if (!p.isWritable() || !p.isStored())
                continue;
            QSignalSpy changed(f.bar, &uscToolbStamm::PropertyChanged);
            QVERIFY(p.write(f.bar, p.read(f.bar)));
            QVERIFY2(!changed.isEmpty(), p.name());
            QCOMPARE(changed.last().first().toString(), QString::fromLatin1(p.name()));
        }
    }

    void propertyBagKeepsOrderAndDefaults()
    {
        Form f;
        orvo::PropertyBag bag;
        f.bar->WriteProperties(bag);
        // A new instance differs from the stored defaults only in its list settings.
        QCOMPARE(bag.names(), (QStringList{"ListField", "BoundColumn", "RowMember"}));
        QCOMPARE(bag.ReadProperty(QStringLiteral("RowMember")),
                 QVariant(QStringLiteral("TMandanten")));

        f.bar->setBackColor(Qt::darkCyan);
        f.bar->setButtonEnde(true);
        f.bar->setButtonPrint(false);
        f.bar->setButtonMandantLock(true);
        f.bar->setEnabledProperty(false);
        f.bar->setRowSource(QStringLiteral("mandanten"));
        f.bar->setBoundText(QStringLiteral("4"));
        bag.clear();
        f.bar->WriteProperties(bag);
        QCOMPARE(bag.names(), (QStringList{"BackColor", "Enabled", "ButtonEnde", "ButtonPrint",
                                           "ButtonMandantLock", "ListField", "BoundColumn",
                                           "RowMember", "RowSource", "BoundText"}));

        Form g;
        QVERIFY(g.show());
        g.click(QStringLiteral("Prop")); // loading leaves the editing state
        QVERIFY(g.bar->LoadProperties(f.bar->SaveProperties()));
        QCOMPARE(g.bar->BackColor(), QColor(Qt::darkCyan));
        QVERIFY(g.bar->ButtonEnde());
        QVERIFY(!g.bar->ButtonPrint());
        QVERIFY(!g.visible(QStringLiteral("Print")));
        QVERIFY(!g.bar->cboMandant()->isEnabled());
        QVERIFY(!g.bar->Toolbar1()->isEnabled());
        QCOMPARE(g.bar->RowSource(), QStringLiteral("mandanten"));
        QCOMPARE(g.bar->BoundText(), QStringLiteral("4"));
        QVERIFY(g.enabled(QStringLiteral("Prop")) && !g.enabled(QStringLiteral("Save")));

        // Missing names read as the stored defaults (empty list settings).
        g.bar->ReadProperties(orvo::PropertyBag());
        QVERIFY(g.bar->ButtonPrint() && g.visible(QStringLiteral("Print")));
        QVERIFY(g.bar->cboMandant()->isEnabled());
        QCOMPARE(g.bar->ListField(), QString());
        // A new instance on a form gets the tenant table's names.
        g.bar->InitProperties();
        QCOMPARE(g.bar->ListField(), QStringLiteral("MandName"));
        QCOMPARE(g.bar->BoundColumn(), QStringLiteral("MandNr"));
    }

    void loadingReturnsToTheDetailView()
    {
        Form f;
        QVERIFY(f.show());
        f.click(QStringLiteral("VW-List"));
        QVERIFY(f.bar->ListenAnsichtOn());
        QVERIFY(f.bar->LoadProperties(f.bar->SaveProperties()));
        QVERIFY(!f.bar->ListenAnsichtOn());
        QVERIFY(!f.bar->txtSuchen()->isVisible());
        QCOMPARE(f.enabledCommands(), kBrowsing);
        // The next click switches the table view on, not off.
        f.events.clear();
        f.click(QStringLiteral("VW-List"));
        QCOMPARE(f.events,
                 (QStringList{"Listenansicht", "ListenAnsicht true", "ButtonClick VW-List"}));
    }

    void formFileCreatesTheControlByClassName()
    {
        QUiLoader loader;
        loader.clearPluginPaths();
        loader.addPluginPath(qEnvironmentVariable("VORSA_BUILD_DIR") +
                             QStringLiteral("/plugins/designer"));
        QVERIFY(loader.availableWidgets().contains(QStringLiteral("uscToolbStamm")));
        QByteArray ui = R"(<ui version="4.0">
 <class>Form</class>
 <widget class="QWidget" name="Form">
  <widget class="uscToolbStamm" name="toolbar">
   <property name="ButtonEnde"><bool>true</bool></property>
   <property name="ButtonDelete"><bool>false</bool></property>
   <property name="RowMember"><string>TMandanten</string></property>
  </widget>
 </widget>
</ui>)";
        QBuffer buffer(&ui);
        std::unique_ptr<QWidget> form(loader.load(&buffer));
        QVERIFY2(form, qPrintable(loader.errorString()));
        auto* bar = form->findChild<uscToolbStamm*>(QStringLiteral("toolbar"));
        QVERIFY(bar);
        QVERIFY(bar->ButtonEnde());
        QVERIFY(!bar->Buttons(QStringLiteral("Delete"))->isEnabled());
        QCOMPARE(bar->ListField(), QStringLiteral("MandName"));
        QVERIFY(QMetaObject::invokeMethod(bar, "Refresh"));
    }
};

QTEST_MAIN(TestToolbar)
#include "tst_usctoolbstamm.moc"

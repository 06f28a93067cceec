#include "usctextbox.h"
#include "usctoolbstamm.h"

#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QDesignerComponents>
#include <QDesignerFormEditorInterface>
#include <QDesignerFormWindowCursorInterface>
#include <QDesignerFormWindowInterface>
#include <QDesignerFormWindowManagerInterface>
#include <QDesignerIntegration>
#include <QDesignerTaskMenuExtension>
#include <QDesignerWidgetDataBaseInterface>
#include <QDialog>
#include <QDialogButtonBox>
#include <QExtensionManager>
#include <QLineEdit>
#include <QPluginLoader>
#include <QPushButton>
#include <QUiLoader>
#include <QUndoStack>
#include <QtTest>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

namespace {

QString pluginFolder()
{
    return qEnvironmentVariable("VORSA_BUILD_DIR") + QStringLiteral("/plugins");
}

QString form(const QString& inner)
{
    return QStringLiteral(R"(<ui version="4.0">
 <class>Form</class>
 <widget class="QWidget" name="Form">
  <property name="geometry"><rect><x>0</x><y>0</y><width>300</width><height>200</height></rect></property>
%1
 </widget>
</ui>
)")
        .arg(inner);
}

} // namespace

// The plugins as Qt Designer loads them: its own form editor, property sheets
// and task menus, in this process.
class TestDesignerPlugin : public QObject {
    Q_OBJECT

    QDesignerFormEditorInterface* m_core = nullptr;

    QDesignerFormWindowInterface* newForm(const QString& contents)
    {
        QDesignerFormWindowInterface* window = m_core->formWindowManager()->createFormWindow();
        window->setParent(nullptr);
        if (!window->setContents(contents))
            return nullptr;
        return window;
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::addLibraryPath(pluginFolder());
        QDesignerComponents::initializeResources();
        m_core = QDesignerComponents::createFormEditor(this);
        QDesignerComponents::createTaskMenu(m_core, this);
        new QDesignerIntegration(m_core, this);
        QDesignerComponents::initializePlugins(m_core);
    }

    void pluginLoadsAsAWidgetPlugin()
    {
        QPluginLoader loader(pluginFolder() + QStringLiteral("/designer/libOrvoTextBoxPlugin.so"));
        QVERIFY2(loader.load(), qPrintable(loader.errorString()));
        auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
        QVERIFY(plugin);
        QCOMPARE(plugin->name(), QStringLiteral("uscTextBox"));
        QCOMPARE(plugin->group(), QStringLiteral("Orvo"));
        QCOMPARE(plugin->includeFile(), QStringLiteral("usctextbox.h"));
        QVERIFY(plugin->domXml().contains(u"designerNewInstance"));
    }

    void toolbarPluginLoads()
    {
        QPluginLoader loader(pluginFolder() +
                             QStringLiteral("/designer/libOrvoToolbStammPlugin.so"));
        QVERIFY2(loader.load(), qPrintable(loader.errorString()));
        auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
        QVERIFY(plugin);
        QCOMPARE(plugin->name(), QStringLiteral("uscToolbStamm"));
        QCOMPARE(plugin->includeFile(), QStringLiteral("usctoolbstamm.h"));
    }

    void designerListsTheControlsInTheirGroup()
    {
        QDesignerWidgetDataBaseInterface* db = m_core->widgetDataBase();
        for (const char* name : {"uscTextBox", "uscToolbStamm"}) {
            const int index = db->indexOfClassName(QString::fromLatin1(name));
            QVERIFY2(index >= 0, name);
            QCOMPARE(db->item(index)->group(), QStringLiteral("Orvo"));
            QVERIFY(db->item(index)->isCustom());
        }
    }

    void aDroppedToolbarNamesItsTenantTable()
    {
        std::unique_ptr<QDesignerFormWindowInterface> window(newForm(form(QStringLiteral(
            R"(<widget class="uscToolbStamm" name="uscToolbStamm">
   <property name="geometry"><rect><x>0</x><y>0</y><width>300</width><height>27</height></rect></property>
   <property name="designerNewInstance"><bool>true</bool></property>
  </widget>)"))));
        QVERIFY(window);
        auto* bar = window->mainContainer()->findChild<uscToolbStamm*>();
        QVERIFY(bar);
        QTRY_VERIFY(window->contents().contains(u"<string>TMandanten</string>"));
        const QString saved = window->contents();
        QVERIFY(saved.contains(u"<string>MandName</string>"));
        QVERIFY(saved.contains(u"<string>MandNr</string>"));

        // Flags set in Designer come back in a program.
        window->cursor()->setWidgetProperty(bar, QStringLiteral("ButtonEnde"), true);
        window->cursor()->setWidgetProperty(bar, QStringLiteral("ButtonPrint"), false);
        QByteArray ui = window->contents().toUtf8();
        QUiLoader loader;
        loader.clearPluginPaths();
        loader.addPluginPath(pluginFolder() + QStringLiteral("/designer"));
        QBuffer buffer(&ui);
        std::unique_ptr<QWidget> loaded(loader.load(&buffer));
        QVERIFY2(loaded, qPrintable(loader.errorString()));
        auto* copy = loaded->findChild<uscToolbStamm*>();
        QVERIFY(copy);
        QVERIFY(copy->ButtonEnde());
        QVERIFY(!copy->ButtonPrint());
        QVERIFY(!copy->Buttons(QStringLiteral("Print"))->isVisible());
        QCOMPARE(copy->RowMember(), QStringLiteral("TMandanten"));
    }

    void aDroppedControlShowsItsName()
    {
        // The widget-box entry's properties, as a drop applies them.
        std::unique_ptr<QDesignerFormWindowInterface> window(newForm(form(QStringLiteral(
            R"(<widget class="uscTextBox" name="uscTextBox1">
   <property name="geometry"><rect><x>10</x><y>10</y><width>120</width><height>23</height></rect></property>
   <property name="designerNewInstance"><bool>true</bool></property>
  </widget>)"))));
        QVERIFY(window);
        auto* box = window->mainContainer()->findChild<uscTextBox*>();
        QVERIFY(box);
        QTRY_COMPARE(box->Text1()->text(), QStringLiteral("uscTextBox1"));
        QVERIFY(!box->designerNewInstance());
        const QString saved = window->contents();
        QVERIFY(saved.contains(u"<string>uscTextBox1</string>"));
        QVERIFY(!saved.contains(u"designerNewInstance"));
    }

    void aLoadedControlKeepsItsTextAndSavesItsProperties()
    {
        std::unique_ptr<QDesignerFormWindowInterface> window(newForm(form(QStringLiteral(
            R"(<widget class="uscTextBox" name="txtDatum">
   <property name="geometry"><rect><x>10</x><y>10</y><width>120</width><height>23</height></rect></property>
   <property name="DatenTyp"><enum>uscTextBox::Datum</enum></property>
   <property name="Text"><string>2026/12/06</string></property>
  </widget>)"))));
        QVERIFY(window);
        auto* box = window->mainContainer()->findChild<uscTextBox*>();
        QVERIFY(box);
        QTest::qWait(10);
        QCOMPARE(box->Text1()->text(), QStringLiteral("06.12.2026"));

        window->cursor()->setWidgetProperty(box, QStringLiteral("DatenVorkomma"), 4);
        window->cursor()->setWidgetProperty(box, QStringLiteral("BackColor"), QColor(Qt::yellow));
        QByteArray saved = window->contents().toUtf8();
        QVERIFY(saved.contains("<enum>uscTextBox::Datum</enum>"));

        // The saved form, created by class name in a program.
        QUiLoader loader;
        loader.clearPluginPaths();
        loader.addPluginPath(pluginFolder() + QStringLiteral("/designer"));
        QBuffer buffer(&saved);
        std::unique_ptr<QWidget> loaded(loader.load(&buffer));
        QVERIFY2(loaded, qPrintable(loader.errorString()));
        auto* copy = loaded->findChild<uscTextBox*>(QStringLiteral("txtDatum"));
        QVERIFY(copy);
        QCOMPARE(copy->DatenTyp(), uscTextBox::Datum);
        QCOMPARE(copy->DatenVorkomma(), 4);
        QCOMPARE(copy->BackColor(), QColor(Qt::yellow));
        QCOMPARE(copy->Text(), QStringLiteral("2026/12/06"));
        QCOMPARE(copy->Text1()->text(), QStringLiteral("06.12.2026"));
    }

    void taskMenuOpensDatenAndAppliesThroughTheForm()
    {
        std::unique_ptr<QDesignerFormWindowInterface> window(newForm(form(QStringLiteral(
            R"(<widget class="uscTextBox" name="txtFeld">
   <property name="geometry"><rect><x>10</x><y>10</y><width>120</width><height>23</height></rect></property>
  </widget>)"))));
        QVERIFY(window);
        auto* box = window->mainContainer()->findChild<uscTextBox*>();
        QVERIFY(box);
        auto* menu = qt_extension<QDesignerTaskMenuExtension*>(m_core->extensionManager(), box);
        QVERIFY(menu);
        QCOMPARE(menu->taskActions().size(), 1);
        QAction* daten = menu->taskActions().first();
        QCOMPARE(daten->text(), QStringLiteral("Daten…"));
        QCOMPARE(menu->preferredEditAction(), daten);

        const int undoBefore = window->commandHistory()->count();
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen = true;
            auto* list = dialog->findChild<QComboBox*>(QStringLiteral("cboDatenTyp"));
            list->setCurrentIndex(4);
            emit list->activated(4);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        daten->trigger();
        QVERIFY(seen);
        QCOMPARE(box->DatenTyp(), uscTextBox::Datum);
        QCOMPARE(box->MaxLength(), 10);
        QCOMPARE(box->Text1()->text(), QString());
        // One undoable step, and the form saves it.
        QCOMPARE(window->commandHistory()->count(), undoBefore + 1);
        QVERIFY(window->contents().contains(u"<enum>uscTextBox::Datum</enum>"));
        window->commandHistory()->undo();
        QCOMPARE(box->DatenTyp(), uscTextBox::NormalText);
        QCOMPARE(box->MaxLength(), 0);
    }
};

QTEST_MAIN(TestDesignerPlugin)
#include "tst_designerplugin.moc"

#include "textboxplugin.h"

#include "daten.h"
#include "usctextbox.h"

#include <QAction>
#include <QDesignerFormEditorInterface>
#include <QDesignerFormWindowCursorInterface>
#include <QDesignerFormWindowInterface>
#include <QDialogButtonBox>
#include <QExtensionManager>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvo::designer {

TextBoxPlugin::TextBoxPlugin(QObject* parent)
    : OrvoWidgetPlugin(QStringLiteral("uscTextBox"), QStringLiteral("usctextbox.h"),
                       QStringLiteral("Textfeld mit Datentyp (Text, Nummer, Zahl, Datum, Uhrzeit)"),
                       parent)
{
}

QWidget* TextBoxPlugin::createWidget(QWidget* parent)
{
    auto* control = new uscTextBox(parent);
    // A new instance shows its name as its text.
    whenNewInstance(control, [](QDesignerFormWindowInterface* form, QWidget* w) {
        form->cursor()->setWidgetProperty(w, QStringLiteral("Text"), w->objectName());
    });
    return control;
}

QString TextBoxPlugin::domXml() const
{
    return QStringLiteral(R"(<ui language="c++">
 <widget class="uscTextBox" name="uscTextBox">
  <property name="geometry">
   <rect><x>0</x><y>0</y><width>121</width><height>23</height></rect>
  </property>
  <property name="designerNewInstance">
   <bool>true</bool>
  </property>
 </widget>
</ui>
)");
}

void TextBoxPlugin::registerExtensions(QDesignerFormEditorInterface* core)
{
    QExtensionManager* manager = core->extensionManager();
    manager->registerExtensions(new TextBoxTaskMenuFactory(manager),
                                Q_TYPEID(QDesignerTaskMenuExtension));
}

DatenDialog::DatenDialog(uscTextBox* control, QDesignerFormWindowInterface* form, QWidget* parent)
    : QDialog(parent), m_page(new orvo::Daten(this)), m_control(control), m_form(form)
{
    setObjectName(QStringLiteral("DatenDialog"));
    setWindowTitle(QStringLiteral("Daten - ") + control->objectName());
    m_page->SelectionChanged({control});
    m_page->setPropertyWriter([this](QObject* target, const char* name, const QVariant& value) {
        auto* widget = qobject_cast<QWidget*>(target);
        if (m_form && widget)
            m_form->cursor()->setWidgetProperty(widget, QString::fromLatin1(name), value);
        else
            target->setProperty(name, value);
    });

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    QPushButton* applyButton = buttons->button(QDialogButtonBox::Apply);
    applyButton->setText(QStringLiteral("Übernehmen"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    applyButton->setEnabled(false);
    connect(m_page, &orvo::Daten::ChangedChanged, applyButton, &QPushButton::setEnabled);
    connect(applyButton, &QPushButton::clicked, this, &DatenDialog::apply);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (m_page->Changed())
            apply();
        if (!m_page->Changed())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_page);
    layout->addWidget(buttons);
}

void DatenDialog::apply()
{
    if (!m_control)
        return;
    if (m_form)
        m_form->beginCommand(QStringLiteral("Daten von '%1'").arg(m_control->objectName()));
    m_page->ApplyChanges();
    if (m_form)
        m_form->endCommand();
}

TextBoxTaskMenu::TextBoxTaskMenu(uscTextBox* control, QObject* parent)
    : QObject(parent), m_control(control), m_editData(new QAction(QStringLiteral("Daten…"), this))
{
    m_editData->setObjectName(QStringLiteral("editDaten"));
    connect(m_editData, &QAction::triggered, this, &TextBoxTaskMenu::editData);
}

void TextBoxTaskMenu::editData()
{
    QDesignerFormWindowInterface* form = QDesignerFormWindowInterface::findFormWindow(m_control);
    DatenDialog dialog(m_control, form, form ? form->window() : nullptr);
    dialog.exec();
}

QObject* TextBoxTaskMenuFactory::createExtension(QObject* object, const QString& iid,
                                                 QObject* parent) const
{
    if (iid != Q_TYPEID(QDesignerTaskMenuExtension))
        return nullptr;
    if (auto* control = qobject_cast<uscTextBox*>(object))
        return new TextBoxTaskMenu(control, parent);
    return nullptr;
}

} // namespace orvo::designer

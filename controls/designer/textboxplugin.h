#pragma once

#include "orvowidgetplugin.h"

#include <QDesignerTaskMenuExtension>
#include <QDialog>
#include <QExtensionFactory>
#include <QPointer>

class uscTextBox;
class QDesignerFormWindowInterface;

namespace orvo {
class Daten;
}

namespace orvo::designer {

// The Designer entry of uscTextBox.
class TextBoxPlugin : public OrvoWidgetPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")

public:
    explicit TextBoxPlugin(QObject* parent = nullptr);
    QWidget* createWidget(QWidget* parent) override;
    QString domXml() const override;

protected:
    void registerExtensions(QDesignerFormEditorInterface* core) override;
};

// The property page "Daten" in a dialog with OK, Cancel and Apply; Apply
// writes through the form window, as one undoable step.
class DatenDialog : public QDialog {
    Q_OBJECT

public:
    DatenDialog(uscTextBox* control, QDesignerFormWindowInterface* form, QWidget* parent = nullptr);
    orvo::Daten* page() const { return m_page; }

public slots:
    void apply();

private:
    orvo::Daten* m_page;
    QPointer<uscTextBox> m_control;
    QPointer<QDesignerFormWindowInterface> m_form;
};

// The task-menu entry "Daten…" (also the control's double-click action).
class TextBoxTaskMenu : public QObject, public QDesignerTaskMenuExtension {
    Q_OBJECT
    Q_INTERFACES(QDesignerTaskMenuExtension)

public:
    TextBoxTaskMenu(uscTextBox* control, QObject* parent);
    QAction* preferredEditAction() const override { return m_editData; }
    QList<QAction*> taskActions() const override { return {m_editData}; }

private:
    void editData();

    uscTextBox* m_control;
    QAction* m_editData;
};

class TextBoxTaskMenuFactory : public QExtensionFactory {
    Q_OBJECT

public:
    explicit TextBoxTaskMenuFactory(QExtensionManager* parent) : QExtensionFactory(parent) {}

protected:
    QObject* createExtension(QObject* object, const QString& iid, QObject* parent) const override;
};

} // namespace orvo::designer

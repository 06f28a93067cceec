#pragma once

#include <QIcon>
#include <QString>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <functional>

class QDesignerFormWindowInterface;

namespace orvo::designer {

// The common part of the controls' Designer entries: the group "Orvo", the
// header to include, no container.
class OrvoWidgetPlugin : public QObject, public QDesignerCustomWidgetInterface {
    Q_OBJECT
    Q_INTERFACES(QDesignerCustomWidgetInterface)

public:
    OrvoWidgetPlugin(const QString& className, const QString& header, const QString& toolTip,
                     QObject* parent = nullptr);

    QString name() const override { return m_className; }
    QString group() const override { return QStringLiteral("Orvo"); }
    QIcon icon() const override { return QIcon(); }
    QString toolTip() const override { return m_toolTip; }
    QString whatsThis() const override { return m_toolTip; }
    QString includeFile() const override { return m_header; }
    bool isContainer() const override { return false; }
    bool isInitialized() const override { return m_core != nullptr; }
    void initialize(QDesignerFormEditorInterface* core) override;

protected:
    // Registers the plugin's extensions (task menu ...).
    virtual void registerExtensions(QDesignerFormEditorInterface* core) { Q_UNUSED(core) }
    QDesignerFormEditorInterface* core() const { return m_core; }

private:
    QString m_className;
    QString m_header;
    QString m_toolTip;
    QDesignerFormEditorInterface* m_core = nullptr;
};

// A control just dropped from the widget box carries the property
// "designerNewInstance" (set by its widget-box entry, never stored). Once the
// drop is complete and the control has its unique name, setUp runs with the
// control's form window, so that what it sets goes through the form (undoable
// and saved). Controls created while a form loads are left alone.
void whenNewInstance(
    QWidget* control,
    std::function<void(QDesignerFormWindowInterface* form, QWidget* control)> setUp);

} // namespace orvo::designer

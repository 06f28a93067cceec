#include "orvowidgetplugin.h"

#include <QDesignerFormWindowInterface>
#include <QPointer>
#include <QTimer>

namespace orvo::designer {

OrvoWidgetPlugin::OrvoWidgetPlugin(const QString& className, const QString& header,
                                   const QString& toolTip, QObject* parent)
    : QObject(parent), m_className(className), m_header(header), m_toolTip(toolTip)
{
}

void OrvoWidgetPlugin::initialize(QDesignerFormEditorInterface* core)
{
    if (m_core)
        return;
    m_core = core;
    registerExtensions(core);
}

void whenNewInstance(QWidget* control,
                     std::function<void(QDesignerFormWindowInterface*, QWidget*)> setUp)
{
    QPointer<QWidget> target(control);
    // The drop sets the properties of the widget-box entry and the unique name
    // after the control is created; look once all that is done.
    QTimer::singleShot(0, control, [target, setUp = std::move(setUp)] {
        if (!target || !target->property("designerNewInstance").toBool())
            return;
        target->setProperty("designerNewInstance", false);
        QDesignerFormWindowInterface* form = QDesignerFormWindowInterface::findFormWindow(target);
        if (!form || !form->isManaged(target))
            return;
        setUp(form, target);
    });
}

} // namespace orvo::designer

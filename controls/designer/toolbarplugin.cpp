#include "toolbarplugin.h"

#include "usctoolbstamm.h"

#include <QDesignerFormWindowCursorInterface>
#include <QDesignerFormWindowInterface>

namespace orvo::designer {

ToolbStammPlugin::ToolbStammPlugin(QObject* parent)
    : OrvoWidgetPlugin(QStringLiteral("uscToolbStamm"), QStringLiteral("usctoolbstamm.h"),
                       QStringLiteral("Befehlsleiste für Stammdaten mit Mandantenauswahl"), parent)
{
}

QWidget* ToolbStammPlugin::createWidget(QWidget* parent)
{
    auto* control = new uscToolbStamm(parent);
    // A new instance names its tenant list's table and columns in the form.
    whenNewInstance(control, [](QDesignerFormWindowInterface* form, QWidget* w) {
        auto* toolbar = static_cast<uscToolbStamm*>(w);
        QDesignerFormWindowCursorInterface* cursor = form->cursor();
        cursor->setWidgetProperty(w, QStringLiteral("ListField"), toolbar->ListField());
        cursor->setWidgetProperty(w, QStringLiteral("BoundColumn"), toolbar->BoundColumn());
        cursor->setWidgetProperty(w, QStringLiteral("RowMember"), toolbar->RowMember());
    });
    return control;
}

QString ToolbStammPlugin::domXml() const
{
    return QStringLiteral(R"(<ui language="c++">
 <widget class="uscToolbStamm" name="uscToolbStamm">
  <property name="geometry">
   <rect><x>0</x><y>0</y><width>640</width><height>27</height></rect>
  </property>
  <property name="designerNewInstance">
   <bool>true</bool>
  </property>
 </widget>
</ui>
)");
}

} // namespace orvo::designer

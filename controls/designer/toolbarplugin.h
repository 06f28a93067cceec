#pragma once

#include "orvowidgetplugin.h"

namespace orvo::designer {

// The Designer entry of uscToolbStamm.
class ToolbStammPlugin : public OrvoWidgetPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")

public:
    explicit ToolbStammPlugin(QObject* parent = nullptr);
    QWidget* createWidget(QWidget* parent) override;
    QString domXml() const override;
};

} // namespace orvo::designer

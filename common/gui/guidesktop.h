#pragma once

#include "desktop.h"

#include <QPointer>
#include <QWidget>

namespace vorsa {

// Input boxes, beeps and process starts of a program with windows.
class GuiDesktop : public IDesktop {
public:
    explicit GuiDesktop(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    void beep() override;
    bool startProcess(const QString& program, const QStringList& arguments) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace vorsa

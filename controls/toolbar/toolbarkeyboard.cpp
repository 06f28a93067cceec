#include "toolbarkeyboard.h"

#include "usctoolbstamm.h"

#include <QAction>
#include <QShortcut>

namespace orvo {

ToolbarKeyboard* ToolbarKeyboard::install(QWidget* hostWindow, uscToolbStamm* toolbar)
{
    return new ToolbarKeyboard(hostWindow, toolbar);
}

ToolbarKeyboard::ToolbarKeyboard(QWidget* hostWindow, uscToolbStamm* toolbar)
    : QObject(hostWindow), m_toolbar(toolbar)
{
    setObjectName(QStringLiteral("ToolbarKeyboard"));
    const struct {
        int key;
        QStringList buttons; // the first one that can be clicked
    } keys[] = {
        {Qt::Key_F5, {QStringLiteral("First")}},
        {Qt::Key_F6, {QStringLiteral("Prev")}},
        {Qt::Key_F7, {QStringLiteral("Next")}},
        {Qt::Key_F8, {QStringLiteral("Last")}},
        {Qt::Key_F9, {QStringLiteral("New")}},
        {Qt::Key_F10, {QStringLiteral("Delete")}},
        {Qt::Key_F12, {QStringLiteral("VW-List")}},
        {Qt::Key_Return, {QStringLiteral("Save"), QStringLiteral("Prop")}},
        {Qt::Key_Enter, {QStringLiteral("Save"), QStringLiteral("Prop")}},
        {Qt::Key_Escape, {QStringLiteral("Undo")}},
        {Qt::Key_Print, {QStringLiteral("PrintScreen")}},
    };
    for (const auto& entry : keys) {
        auto* shortcut = new QShortcut(QKeySequence(entry.key), hostWindow);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        const QStringList buttons = entry.buttons;
        connect(shortcut, &QShortcut::activated, this, [this, buttons] { press(buttons); });
        m_shortcuts << shortcut;
    }
}

void ToolbarKeyboard::press(const QStringList& keys)
{
    if (!m_toolbar || !m_toolbar->isEnabled() || !m_toolbar->Enabled())
        return;
    for (const QString& key : keys) {
        QAction* button = m_toolbar->Buttons(key);
        if (button && button->isVisible() && button->isEnabled()) {
            m_toolbar->Toolbar_ButtonClick(key);
            return;
        }
    }
}

} // namespace orvo

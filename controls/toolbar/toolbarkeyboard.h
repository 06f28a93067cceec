#pragma once

#include "orvotoolbstamm_export.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QShortcut;
class QWidget;
class uscToolbStamm;

namespace orvo {

// The keys named in the toolbar's tooltips, on a host window, so that every
// master-data form gets the same keyboard:
//
//   F5 "First", F6 "Prev", F7 "Next", F8 "Last", F9 "New", F10 "Delete",
//   F12 "VW-List", Enter "Save" while editing, else "Prop", Esc "Undo",
//   Print "PrintScreen".
//
// A key runs the button's command through Toolbar_ButtonClick when the button
// is visible and enabled, as a click would (so F9 does nothing while a record
// is edited). The helper belongs to the window and goes with it.
//
//     orvo::ToolbarKeyboard::install(this, ui->toolbar);
class ORVOTOOLBSTAMM_EXPORT ToolbarKeyboard : public QObject {
    Q_OBJECT

public:
    static ToolbarKeyboard* install(QWidget* hostWindow, uscToolbStamm* toolbar);

    QList<QShortcut*> shortcuts() const { return m_shortcuts; }

private:
    ToolbarKeyboard(QWidget* hostWindow, uscToolbStamm* toolbar);
    void press(const QStringList& keys);

    QPointer<uscToolbStamm> m_toolbar;
    QList<QShortcut*> m_shortcuts;
};

} // namespace orvo

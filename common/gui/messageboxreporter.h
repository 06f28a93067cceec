#pragma once

#include "reporter.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QMessageBox;

namespace vorsa {

// The window's reporter: a message box with OK, modal by default, or with Yes
// and No for a question (always modal: it waits for the answer).
//
// Not modal, message() shows the box and returns at once, so that the work
// that reported goes on while the box is open (a server that sits unattended
// must not hold back calls behind a box). A message whose box is still open
// is not shown a second time, and at most MaxOpenBoxes boxes are open at once.
class MessageBoxReporter : public IReporter {
public:
    explicit MessageBoxReporter(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void setModal(bool modal) { m_modal = modal; }
    bool isModal() const { return m_modal; }
    void message(const QString& text, const QString& title, MessageIcon icon) override;
    bool askYesNo(const QString& text, const QString& title, MessageIcon icon) override;

    static constexpr int MaxOpenBoxes = 20;
    // The boxes shown without being modal that are still open.
    QList<QMessageBox*> openBoxes() const;

private:
    QPointer<QWidget> m_parent;
    bool m_modal = true;
    QList<QPointer<QMessageBox>> m_open;
};

} // namespace vorsa

#pragma once

#include "reporter.h"

#include <QPointer>
#include <QWidget>

namespace vorsa {

// The window's reporter: a modal message box with OK, or with Yes and No for a question.
class MessageBoxReporter : public IReporter {
public:
    explicit MessageBoxReporter(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void message(const QString& text, const QString& title, MessageIcon icon) override;
    bool askYesNo(const QString& text, const QString& title, MessageIcon icon) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace vorsa

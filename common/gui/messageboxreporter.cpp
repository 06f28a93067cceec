#include "messageboxreporter.h"

#include <QMessageBox>

namespace vorsa {

namespace {
QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::Warning;
}
} // namespace

QList<QMessageBox*> MessageBoxReporter::openBoxes() const
{
    QList<QMessageBox*> out;
    for (const auto& box : m_open) {
        if (box)
            out << box.data();
    }
    return out;
}

void MessageBoxReporter::message(const QString& text, const QString& title, MessageIcon icon)
{
    if (m_modal) {
        QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, m_parent);
        box.exec();
        return;
    }
    m_open.removeAll(nullptr);
    for (const auto& open : m_open) {
        if (open->text() == text && open->windowTitle() == title) {
            open->raise();
            return;
        }
    }
    if (m_open.size() >= MaxOpenBoxes)
        return;
    auto* box = new QMessageBox(boxIcon(icon), title, text, QMessageBox::Ok, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    m_open.append(box);
}

bool MessageBoxReporter::askYesNo(const QString& text, const QString& title, MessageIcon icon)
{
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes;
}

} // namespace vorsa

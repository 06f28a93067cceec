#include "guidesktop.h"

#include <QApplication>
#include <QInputDialog>
#include <QProcess>

namespace vorsa {

QString GuiDesktop::inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

void GuiDesktop::beep()
{
    QApplication::beep();
}

bool GuiDesktop::startProcess(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

} // namespace vorsa

#include "desktop.h"

#include <QProcess>

namespace vorsa {

bool HeadlessDesktop::startProcess(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

QString RecordingDesktop::inputBox(const QString& prompt, const QString& title,
                                   const QString& defaultText)
{
    inputs.append({prompt, title, defaultText});
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

bool RecordingDesktop::startProcess(const QString& program, const QStringList& arguments)
{
    started.append(QStringList{program} + arguments);
    return true;
}

} // namespace vorsa

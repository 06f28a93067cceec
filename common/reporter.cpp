#include "reporter.h"

#include <QRegularExpression>
#include <cstdio>

namespace vorsa {

QString errorText(const QString& procedure, const QString& description)
{
    return QLatin1Char('[') + procedure + QStringLiteral("]\r\n\r\n") + description;
}

QString errorTitle(int number)
{
    return QStringLiteral("Fehler: ") + QString::number(number);
}

void IReporter::reportError(const QString& procedure, const VbError& e)
{
    reportError(procedure, e.number(), e.description());
}

void IReporter::reportError(const QString& procedure, int number, const QString& description)
{
    message(errorText(procedure, description), errorTitle(number), MessageIcon::Warning);
}

bool guarded(IReporter& reporter, const QString& procedure, const std::function<void()>& body,
             QString* error)
{
    const auto report = [&](const VbError& e) {
        if (error)
            *error = e.description();
        reporter.reportError(procedure, e);
    };
    try {
        body();
        return true;
    } catch (const VbError& e) {
        report(e);
    } catch (const std::exception& e) {
        report(VbError(err::InternalError,
                       QStringLiteral("Interner Fehler: ") + QString::fromLocal8Bit(e.what())));
    }
    return false;
}

bool ignoringErrors(const std::function<void()>& body)
{
    try {
        body();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

QString LogReporter::logLine(const QString& text, const QString& title)
{
    QString flat = text;
    flat.replace(QStringLiteral("\r\n\r\n"), QStringLiteral(" "));
    flat.replace(QRegularExpression(QStringLiteral("[\r\n]+")), QStringLiteral(" "));
    return title + QStringLiteral(": ") + flat;
}

bool IReporter::askYesNo(const QString&, const QString&, MessageIcon)
{
    return false;
}

void LogReporter::message(const QString& text, const QString& title, MessageIcon)
{
    const QByteArray line = logLine(text, title).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void RecordingReporter::message(const QString& text, const QString& title, MessageIcon icon)
{
    entries.append({text, title, icon});
    if (whileShown) {
        const auto shown = whileShown; // may reset itself
        shown();
    }
}

bool RecordingReporter::askYesNo(const QString& text, const QString& title, MessageIcon icon)
{
    entries.append({text, title, icon, true});
    const bool yes = answers.isEmpty() ? false : answers.takeFirst();
    if (whileShown) {
        const auto shown = whileShown;
        shown();
    }
    return yes;
}

QStringList RecordingReporter::procedures() const
{
    QStringList out;
    for (const auto& e : entries) {
        if (e.text.startsWith(QLatin1Char('['))) {
            const auto end = e.text.indexOf(QLatin1Char(']'));
            if (end > 0)
                out << e.text.mid(1, end - 1);
        }
    }
    return out;
}

} // namespace vorsa

#include "stderrindexview.h"

#include <QCoreApplication>
#include <cstdio>

namespace vorsa {

QString StderrIndexView::progressLine(int value, int maximum)
{
    return QStringLiteral("Telefonnummern generieren: %1 von %2 Datensätzen")
        .arg(value)
        .arg(maximum);
}

void StderrIndexView::setProgressValue(int value)
{
    // The first value only marks the start; the same value twice (the last
    // progress point being the end) is written once.
    if (value <= m_minimum || value == m_lastValue)
        return;
    m_lastValue = value;
    const QByteArray line = progressLine(value, m_maximum).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void StderrIndexView::processEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

} // namespace vorsa

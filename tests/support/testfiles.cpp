#include "testfiles.h"

#include "win1252.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>

namespace vorsa::test {

QString buildPath(const QString& relative)
{
    return QDir(qEnvironmentVariable("VORSA_BUILD_DIR")).filePath(relative);
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

void writeIni(const QString& path, const QStringList& lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    for (const QString& line : lines)
        file.write(toWin1252(line) + "\r\n");
}

} // namespace vorsa::test

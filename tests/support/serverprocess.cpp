#include "serverprocess.h"

#include "testfiles.h"
#include "wire/protocol.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace vorsa::test {

qint64 residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

ServerProcess::ServerProcess(QString programDir, QString program)
    : m_programDir(std::move(programDir)), m_program(std::move(program))
{
}

ServerProcess::~ServerProcess()
{
    m_line.reset();
    if (m_process.state() != QProcess::NotRunning && !stop()) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

QString ServerProcess::simSocket() const
{
    return QDir(m_programDir).filePath(QStringLiteral("VorsaSrv.sim"));
}

QString ServerProcess::start(quint16 port, bool simLine, bool keepErrors, int timeoutMs)
{
    m_port = port;
    const QString binary = QFileInfo(m_program).isAbsolute() ? m_program : buildPath(m_program);
    if (!QFileInfo(binary).isExecutable())
        return binary + QStringLiteral(" is not built");
    QStringList arguments{QStringLiteral("--dir"), m_programDir};
    if (QFileInfo(binary).fileName() == QLatin1String("VorsaSrv"))
        arguments.prepend(QStringLiteral("--headless"));
    if (!keepErrors)
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(binary, arguments);
    if (!m_process.waitForStarted(5000))
        return binary + QStringLiteral(" does not start");
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (m_process.state() == QProcess::NotRunning)
            return QStringLiteral("the server ended at its start (status %1)")
                .arg(m_process.exitCode());
        bool ready = !simLine || QFile::exists(simSocket());
        if (ready) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            ready = probe.waitForConnected(100);
        }
        if (ready)
            return {};
        if (deadline.hasExpired())
            return QStringLiteral("the server takes no clients on port %1").arg(port);
        QThread::msleep(20);
    }
}

bool ServerProcess::stop(int timeoutMs)
{
    m_line.reset();
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    m_process.terminate();
    if (!m_process.waitForFinished(timeoutMs))
        return false;
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool ServerProcess::openLine()
{
    if (m_line && m_line->state() == QLocalSocket::ConnectedState)
        return true;
    m_line = std::make_unique<QLocalSocket>();
    m_unanswered = 0;
    m_line->connectToServer(simSocket());
    return m_line->waitForConnected(5000);
}

bool ServerProcess::inject(const QString& called, const QString& calling)
{
    if (!openLine())
        return false;
    m_line->write((called + QLatin1Char(';') + calling + QLatin1Char('\n')).toUtf8());
    m_line->flush();
    ++m_unanswered;
    return true;
}

bool ServerProcess::ring(const QString& called, const QString& calling, int timeoutMs)
{
    if (!inject(called, calling))
        return false;
    // The line answers every call in turn; the last answer is this call's.
    QByteArray answers;
    const QDeadlineTimer deadline(timeoutMs);
    while (answers.count('\n') < m_unanswered && !deadline.hasExpired()) {
        if (m_line->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            answers += m_line->readAll();
        else if (m_line->state() != QLocalSocket::ConnectedState)
            break;
    }
    if (answers.count('\n') < m_unanswered)
        return false;
    m_unanswered = 0;
    answers.chop(1);
    return answers.mid(answers.lastIndexOf('\n') + 1) == "OK";
}

std::unique_ptr<QTcpSocket> ServerProcess::connectClient(const QString& hostName, int timeoutMs)
{
    auto client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress::LocalHost, m_port);
    if (!client->waitForConnected(timeoutMs))
        return nullptr;
    client->write(wire::announcement(hostName));
    client->flush();
    return client;
}

} // namespace vorsa::test

#include "sippeer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>

QString SippPeer::program()
{
    return QStandardPaths::findExecutable(QStringLiteral("sipp"));
}

quint16 SippPeer::freePort(const QHostAddress& address)
{
    // Below the kernel's ephemeral range (32768 and up), where the outgoing
    // connections of tests running beside this one take their ports; the SIP
    // stack binds UDP and TCP on the port, so both must be free.
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(QRandomGenerator::global()->bounded(20000, 32000));
        QUdpSocket udp;
        QTcpServer tcp;
        if (udp.bind(address, port) && tcp.listen(address, port))
            return port;
    }
    QUdpSocket probe;
    probe.bind(address, 0);
    return probe.localPort();
}

bool SippPeer::start(const Call& call, const QString& target, const QStringList& extraArgs)
{
    QFile in(qEnvironmentVariable("VORSA_SOURCE_DIR") + QStringLiteral("/tests/lines/sipp/") +
             call.scenario);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray xml = in.readAll();
    QByteArray extra;
    for (const QString& h : call.extraHeaders)
        extra += "      " + h.toUtf8() + '\n';
    xml.replace("      @EXTRA@\n", extra);
    xml.replace("@TO@", (call.to.isEmpty() ? call.requestUser : call.to).toUtf8());
    xml.replace("@RURI@", call.requestUser.toUtf8());
    xml.replace("@FROM@", call.from.toUtf8());
    xml.replace("@PAUSE@", QByteArray::number(call.pauseMs));
    const QString file = m_dir + u'/' + call.scenario;
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    out.write(xml);
    out.close();

    QStringList args{target,
                     QStringLiteral("-sf"),
                     file,
                     QStringLiteral("-i"),
                     call.localIp,
                     QStringLiteral("-nostdin"),
                     QStringLiteral("-recv_timeout"),
                     QStringLiteral("5000"),
                     QStringLiteral("-timeout"),
                     QStringLiteral("30s"),
                     QStringLiteral("-timeout_error"),
                     QStringLiteral("-trace_err"),
                     QStringLiteral("-error_file"),
                     m_dir + QStringLiteral("/sipp_errors.log")};
    if (!extraArgs.contains(QStringLiteral("-m")))
        args << QStringLiteral("-m") << QStringLiteral("1");
    args << extraArgs;
    m_process.setWorkingDirectory(m_dir);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program(), args);
    return m_process.waitForStarted(5000);
}

bool SippPeer::finish(int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (m_process.state() != QProcess::NotRunning && t.elapsed() < timeoutMs)
        QTest::qWait(10);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    m_output = QString::fromLocal8Bit(m_process.readAll());
    QFile errors(m_dir + QStringLiteral("/sipp_errors.log"));
    if (errors.open(QIODevice::ReadOnly))
        m_output += QString::fromLocal8Bit(errors.readAll().right(4000));
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Runs sipp with one of the scenarios of tests/lines/sipp, its @MARKS@ filled
// in, while the caller keeps its event loop running (the agent under test
// lives in the same thread).
class SippPeer {
public:
    static QString program(); // empty when sipp is not installed
    static quint16 freePort(const QHostAddress& address);

    struct Call {
        QString scenario = QStringLiteral("ring_cancel.xml");
        QString requestUser = QStringLiteral("5551234");
        QString to; // the request user when empty
        QString from = QStringLiteral("<sip:0521123456@127.0.0.1>");
        QStringList extraHeaders;
        int pauseMs = 300;
        QString localIp = QStringLiteral("127.0.0.1");
    };

    explicit SippPeer(const QString& workDir) : m_dir(workDir) {}
    // Starts the calls against target (ip:port); extraArgs go to sipp as they are.
    bool start(const Call& call, const QString& target, const QStringList& extraArgs = {});
    // Waits (event loop running) for sipp to end; true when every call passed.
    bool finish(int timeoutMs = 20000);
    QString output() const { return m_output; }

private:
    QString m_dir;
    QProcess m_process;
    QString m_output;
};

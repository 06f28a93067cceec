#pragma once

#include <QLocalSocket>
#include <QProcess>
#include <QString>
#include <QTcpSocket>
#include <memory>

namespace vorsa::test {

// Resident memory of a process in kB (VmRSS from /proc), -1 when unknown.
qint64 residentKb(qint64 pid);

// A server without a window in a process of its own, on a program folder the
// test has prepared: started, rung through its simulated line (Line=SIM),
// connected to by clients, and stopped with SIGTERM at the end.
class ServerProcess {
public:
    // `program` relative to the build folder; "server/VorsaSrv" runs with
    // --headless, "server/vorsasrvd" as it is.
    explicit ServerProcess(QString programDir, QString program = QStringLiteral("server/VorsaSrv"));
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the server and waits until it accepts clients on `port` and,
    // with `simLine`, its simulated line takes calls. Empty when it runs,
    // else why not. Its stderr goes to the test's own unless `keepErrors`.
    QString start(quint16 port, bool simLine = true, bool keepErrors = false,
                  int timeoutMs = 15000);
    // SIGTERM; true when it ended by itself with status 0.
    bool stop(int timeoutMs = 10000);

    // Writes one call "called;calling" to the simulated line, without waiting.
    bool inject(const QString& called, const QString& calling);
    // The same, waiting until the line has taken the call (its "OK").
    bool ring(const QString& called, const QString& calling, int timeoutMs = 15000);

    // A client connected to the server that has announced its host name.
    std::unique_ptr<QTcpSocket> connectClient(const QString& hostName, int timeoutMs = 5000);

    QProcess& process() { return m_process; }
    qint64 pid() const { return m_process.processId(); }
    QString simSocket() const;
    const QString& programDir() const { return m_programDir; }

private:
    bool openLine();

    QString m_programDir;
    QString m_program;
    quint16 m_port = 0;
    QProcess m_process;
    std::unique_ptr<QLocalSocket> m_line;
    qsizetype m_unanswered = 0; // calls injected whose answer was not read
};

} // namespace vorsa::test

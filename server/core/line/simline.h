#pragma once

#include "phoneline.h"

#include <QList>
#include <QPair>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace vorsa {

// The simulated line: calls come from other processes through the Unix domain
// socket "VorsaSrv.sim" in the program folder, one call per line,
// "called;calling" (LF or CR LF). The socket listens from the first start until
// the line is destroyed, so calls sent while the line is stopped (the restart
// tick) wait and are delivered after the next start.
//
// Every line is answered on the same socket: "OK" when it was taken as a call,
// "FEHLER " + a German reason when not (no ";", or longer than MaxLineBytes;
// the rest of an overlong line is read and dropped), each ended by LF.
class SimLine : public IPhoneLine {
    Q_OBJECT
public:
    // A start that cannot open the socket is reported through `reporter`
    // (once until a start succeeds).
    explicit SimLine(const QString& programDir, IReporter* reporter = nullptr,
                     QObject* parent = nullptr);
    ~SimLine() override;

    static QString socketName() { return QStringLiteral("VorsaSrv.sim"); }
    // The full path of the socket.
    const QString& socketPath() const { return m_path; }
    bool isStarted() const { return m_started; }
    // Most bytes of one line; a longer one is refused.
    static constexpr qint64 MaxLineBytes = 4096;
    static QByteArray acceptedAnswer() { return QByteArrayLiteral("OK\n"); }
    static QByteArray refusedAnswer(const QString& reason);

    bool startCAPI() override;
    void stopCAPI() override;
    bool lineUp() const override;
    QString capiVersion() const override { return QStringLiteral("2.0"); }
    QString capiRelease() const override { return QStringLiteral("sim"); }
    QString cardMaker() const override { return QStringLiteral("Vorsa SIM"); }
    QString serialNumber() const override { return QStringLiteral("0"); }
    int dtmfSupport(qint16) override { return 1; }

private:
    void acceptSenders();
    void readFrom(QLocalSocket* sender, bool finished);
    // Takes one line as a call; returns the answer to its sender.
    QByteArray takeLine(QByteArray line);
    void deliverWaiting();

    void reportFailure(const QString& why);

    QString m_path;
    IReporter* m_reporter = nullptr;
    bool m_reported = false;
    QLocalServer* m_server = nullptr;
    bool m_started = false;
    QList<QPair<QString, QString>> m_waiting; // calls read while stopped
};

} // namespace vorsa

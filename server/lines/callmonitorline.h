#pragma once

#include "callmonitorevent.h"
#include "line/phoneline.h"
#include "numberplan.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSet>
#include <QTimer>

class QTcpSocket;

namespace vorsa {

// The call monitor of a home or office router (switched on at the router's
// phone with #96*5*): a TCP client that reads one event line per call event.
// The connection is kept alive with TCP keepalive, a lost or silently closed
// connection is noticed and dialled again with a growing pause. The restart
// tick (stop, start) keeps a live connection.
class CallMonitorLine : public IPhoneLine {
    Q_OBJECT
public:
    struct Settings {
        QString host;
        quint16 port = 1012;
        int keepAliveSec = 60; // idle seconds before the first keepalive probe
        int country = 49;
        int connectTimeoutMs = 10000;
        int reconnectFirstMs = 1000;
        int reconnectMaxMs = 60000;
        int provenAfterMs = 30000; // a connection up this long starts the pauses afresh
        int stopGraceMs = 2000;    // a start within this time after a stop keeps the connection

        // Section "CallMonitor" of the server's INI file; missing keys are written back.
        static Settings read(const QString& iniFile);
    };

    CallMonitorLine(const Settings& settings, IReporter* reporter, QObject* parent = nullptr);
    ~CallMonitorLine() override;

    bool startCAPI() override;
    void stopCAPI() override;
    bool lineUp() const override { return m_state == State::Connected; }
    QString capiVersion() const override;
    QString capiRelease() const override;
    QString cardMaker() const override;
    QString serialNumber() const override;
    int dtmfSupport(qint16 what) override;

    bool isConnected() const { return m_state == State::Connected; }
    // Pause before the next connection attempt (0 when none is planned).
    int reconnectDelayMs() const;

private:
    enum class State { Idle, Connecting, Connected, Waiting };

    void connectNow();
    void onConnected();
    void onReadyRead();
    void onLost(const QString& reason);
    void scheduleReconnect();
    void shutDown();
    void handleEvent(const CallMonitorEvent& e);
    void enableKeepAlive();
    QString address() const;

    Settings m_settings;
    IReporter* m_reporter;
    NumberPlan m_plan;
    QTcpSocket* m_socket;
    QTimer m_reconnectTimer;
    QTimer m_connectTimer;
    QTimer m_stopTimer;
    QByteArray m_buffer;
    QSet<int> m_incoming; // connection ids of incoming calls seen ringing
    State m_state = State::Idle;
    bool m_wanted = false;
    bool m_reportedLoss = false;
    int m_backoffMs = 0;
    QElapsedTimer m_connectedSince;
    QString m_lastError;
};

} // namespace vorsa

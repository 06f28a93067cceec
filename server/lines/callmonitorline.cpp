#include "callmonitorline.h"

#include "reporter.h"
#include "vberror.h"
#include "wire/protocol.h"

#include <QTcpSocket>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace vorsa {

namespace {
constexpr int MaxLine = 4096;
constexpr int MaxTrackedCalls = 256;
using wire::Hidden;
} // namespace

CallMonitorLine::CallMonitorLine(const Settings& settings, IReporter* reporter, QObject* parent)
    : IPhoneLine(parent), m_settings(settings), m_reporter(reporter),
      m_plan(NumberPlan::forCountry(settings.country)), m_socket(new QTcpSocket(this))
{
    m_reconnectTimer.setSingleShot(true);
    m_connectTimer.setSingleShot(true);
    m_stopTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &CallMonitorLine::connectNow);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        if (m_state == State::Connecting)
            onLost(QStringLiteral("Zeitüberschreitung beim Verbinden"));
    });
    connect(&m_stopTimer, &QTimer::timeout, this, &CallMonitorLine::shutDown);
    connect(m_socket, &QTcpSocket::connected, this, &CallMonitorLine::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &CallMonitorLine::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_state == State::Connected || m_state == State::Connecting)
            onLost(QStringLiteral("vom Router geschlossen"));
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_state == State::Connected || m_state == State::Connecting)
            onLost(m_socket->errorString());
    });
}

CallMonitorLine::~CallMonitorLine()
{
    m_wanted = false;
    m_state = State::Idle;
    m_socket->disconnect(this);
    m_socket->abort();
}

bool CallMonitorLine::startCAPI()
{
    m_stopTimer.stop();
    m_wanted = true;
    if (m_settings.host.isEmpty()) {
        m_lastError = QStringLiteral("kein Host eingetragen");
        if (!m_reportedLoss && m_reporter)
            m_reporter->reportError(QStringLiteral("Anrufmonitor"), err::InvalidCall,
                                    QStringLiteral("Im Abschnitt [CallMonitor] der INI-Datei ist "
                                                   "kein Host eingetragen."));
        m_reportedLoss = true;
        return false;
    }
    if (m_state == State::Idle)
        connectNow();
    return m_state == State::Connected;
}

void CallMonitorLine::stopCAPI()
{
    // The restart tick starts again right away; only a stop that is not
    // followed by a start closes the connection.
    m_wanted = false;
    m_stopTimer.start(m_settings.stopGraceMs);
}

void CallMonitorLine::shutDown()
{
    if (m_wanted)
        return;
    m_reconnectTimer.stop();
    m_connectTimer.stop();
    const bool wasConnected = m_state == State::Connected;
    m_state = State::Idle;
    m_socket->abort();
    m_buffer.clear();
    m_incoming.clear();
    m_lastError = QStringLiteral("gestoppt");
    if (wasConnected)
        emit StatusChanged();
}

void CallMonitorLine::connectNow()
{
    if (!m_wanted && !m_stopTimer.isActive())
        return;
    m_state = State::Connecting;
    m_buffer.clear();
    m_socket->abort();
    m_socket->connectToHost(m_settings.host, m_settings.port);
    m_connectTimer.start(m_settings.connectTimeoutMs);
}

void CallMonitorLine::onConnected()
{
    m_connectTimer.stop();
    m_state = State::Connected;
    // The pause before a reconnect grows until the connection has proved
    // itself (a first event, or some time up): a monitor that accepts and
    // closes at once (busy, its connection limit reached) is not hammered,
    // and its outage is reported once, not at every attempt.
    m_connectedSince.start();
    m_lastError.clear();
    enableKeepAlive();
    emit StatusChanged();
}

void CallMonitorLine::enableKeepAlive()
{
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const qintptr fd = m_socket->socketDescriptor();
    if (fd < 0)
        return;
    // A router that reboots or drops off the network never closes the
    // connection; the probes find out within idle + 3 x 10 seconds.
    const int idle = qMax(1, m_settings.keepAliveSec);
    const int interval = qBound(1, idle / 6, 10);
    const int count = 3;
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
#ifdef TCP_USER_TIMEOUT
    // Unacknowledged data counts too (the router vanished while we sent).
    const unsigned int userTimeout = unsigned(idle + interval * count) * 1000u;
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
#endif
}

void CallMonitorLine::onReadyRead()
{
    m_buffer += m_socket->readAll();
    for (;;) {
        const qsizetype nl = m_buffer.indexOf('\n');
        if (nl < 0)
            break;
        const QByteArray line = m_buffer.left(nl + 1);
        m_buffer.remove(0, nl + 1);
        const CallMonitorEvent e = CallMonitorEvent::parse(line);
        if (e.isValid()) {
            m_backoffMs = 0;
            m_reportedLoss = false;
            handleEvent(e);
        }
        if (m_state != State::Connected)
            return; // a slot of ours closed or restarted the line
    }
    // A router never sends such a line; whatever it is, it is dropped.
    if (m_buffer.size() > MaxLine)
        m_buffer.clear();
}

void CallMonitorLine::handleEvent(const CallMonitorEvent& e)
{
    switch (e.type) {
    case CallMonitorEvent::Type::Ring: {
        if (m_incoming.size() >= MaxTrackedCalls)
            m_incoming.clear();
        m_incoming.insert(e.connectionId);
        QString calling = Hidden;
        if (!e.calling.isEmpty()) {
            const QString national = m_plan.toNational(e.calling);
            calling = national.isEmpty() ? e.calling : national;
        }
        const QString national = m_plan.toNational(e.called);
        emit IncomingCall(national.isEmpty() ? e.called : national, calling, e.trunk);
        break;
    }
    case CallMonitorEvent::Type::Connect:
        if (m_incoming.contains(e.connectionId))
            emit IncomingPhoneCall(QString::number(e.connectionId), e.extension);
        break;
    case CallMonitorEvent::Type::Disconnect:
        m_incoming.remove(e.connectionId);
        break;
    case CallMonitorEvent::Type::Call:
        m_incoming.remove(e.connectionId);
        break;
    case CallMonitorEvent::Type::Invalid:
        break;
    }
}

void CallMonitorLine::onLost(const QString& reason)
{
    const bool wasConnected = m_state == State::Connected;
    if (wasConnected && m_connectedSince.isValid() &&
        m_connectedSince.elapsed() >= m_settings.provenAfterMs) {
        m_backoffMs = 0;
        m_reportedLoss = false;
    }
    m_connectTimer.stop();
    m_state = State::Waiting;
    m_lastError = reason;
    m_incoming.clear();
    m_socket->abort();
    scheduleReconnect();
    if (!m_reportedLoss && m_reporter) {
        // Once per outage; the retries themselves only show in the status texts.
        m_reportedLoss = true;
        m_reporter->reportError(
            QStringLiteral("Anrufmonitor"), err::SocketError,
            QStringLiteral("Keine Verbindung zum Anrufmonitor %1 (%2). Neuer Versuch in %3 s.")
                .arg(address(), reason)
                .arg((m_backoffMs + 999) / 1000));
    }
    if (wasConnected)
        emit StatusChanged();
}

void CallMonitorLine::scheduleReconnect()
{
    if (!m_wanted && !m_stopTimer.isActive()) {
        m_state = State::Idle;
        return;
    }
    m_backoffMs = m_backoffMs == 0 ? m_settings.reconnectFirstMs
                                   : qMin(m_backoffMs * 2, m_settings.reconnectMaxMs);
    m_reconnectTimer.start(m_backoffMs);
}

int CallMonitorLine::reconnectDelayMs() const
{
    return m_reconnectTimer.isActive() ? m_backoffMs : 0;
}

QString CallMonitorLine::address() const
{
    return m_settings.host + u':' + QString::number(m_settings.port);
}

QString CallMonitorLine::capiVersion() const
{
    return QStringLiteral("Anrufmonitor");
}

QString CallMonitorLine::capiRelease() const
{
    switch (m_state) {
    case State::Connected:
        return QStringLiteral("verbunden");
    case State::Connecting:
        return QStringLiteral("verbinde");
    case State::Waiting:
        return QStringLiteral("getrennt (%1), neuer Versuch in %2 s")
            .arg(m_lastError)
            .arg((m_reconnectTimer.remainingTime() + 999) / 1000);
    case State::Idle:
        break;
    }
    return m_lastError.isEmpty() ? QStringLiteral("gestoppt")
                                 : QStringLiteral("getrennt (%1)").arg(m_lastError);
}

QString CallMonitorLine::cardMaker() const
{
    return QStringLiteral("Router");
}

QString CallMonitorLine::serialNumber() const
{
    return address();
}

int CallMonitorLine::dtmfSupport(qint16)
{
    return 0;
}

} // namespace vorsa

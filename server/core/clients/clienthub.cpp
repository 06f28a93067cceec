#include "clienthub.h"

#include "calllog.h"
#include "logging.h"
#include "memory.h"
#include "net/socketerror.h"
#include "net/tls.h"
#include "reporter.h"
#include "vberror.h"
#include "wire/protocol.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace vorsa {

namespace {
constexpr int ShutdownWaitMs = 3000;
// The most of the call log one turn of the event loop reads for a replay.
constexpr qint64 ReplayReadPerTurn = 1024 * 1024;

QString addressText(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

// The address a connection comes from (null when the system cannot tell).
QHostAddress peerAddressOf(qintptr descriptor)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(int(descriptor), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    return QHostAddress(reinterpret_cast<const sockaddr*>(&address));
}
} // namespace

struct ClientHub::Slot {
    QTcpSocket* socket = nullptr; // owned by the hub (child)
    QSslSocket* tls = nullptr;    // the same socket, when it encrypts
    QString ip;
    QString hostName;
    bool listed = false;  // shown in lstConnections
    bool spoke = false;   // its first bytes have come
    bool refused = false; // being closed after a refusal
    // What the handshake of a TLS client found.
    QList<QSslError> tlsErrors;
    std::optional<QSsl::AlertType> tlsAlert;

    // A replay of the journal: the part of the call log still to read, and
    // the live lines that wait behind it.
    struct Replay {
        QString filter;
        qint64 offset = 0;
        qint64 end = 0;
        bool read() const { return offset >= end; }
    };
    std::optional<Replay> replay;
    // Lines that wait: behind a replay, or for the end of a TLS handshake.
    QByteArray held;
    // While a replay is under way, the socket's progress moves it on (with
    // TLS also the progress of the encrypted bytes).
    QMetaObject::Connection replayProgress;
    QMetaObject::Connection replayProgressEncrypted;
};

// The listening socket: hands every accepted descriptor to the hub as a
// connection request on index 0.
class ClientHub::ListenSocket : public QTcpServer {
public:
    explicit ListenSocket(ClientHub& hub) : m_hub(hub) {}

protected:
    void incomingConnection(qintptr descriptor) override
    {
        m_hub.Winsock1_ConnectionRequest(0, descriptor);
    }

private:
    ClientHub& m_hub;
};

ClientHub::ClientHub(const CallLog& log, IReporter& reporter, QObject* parent)
    : QObject(parent), m_log(log), m_reporter(reporter),
      m_listener(std::make_unique<ListenSocket>(*this))
{
}

ClientHub::~ClientHub()
{
    for (auto& slot : m_slots) {
        if (slot->socket) {
            slot->socket->disconnect(this);
            slot->socket->abort();
            delete slot->socket;
            slot->socket = nullptr;
        }
    }
}

void ClientHub::setAccess(ClientAccess access)
{
    m_access = std::move(access);
}

void ClientHub::listen(quint16 port)
{
    if (m_listener->isListening())
        m_listener->close();
    if (!m_listener->listen(m_access.listenAddress, port)) {
        const SocketError e = SocketError::from(m_listener->serverError());
        const QHostAddress& address = m_access.listenAddress;
        const QString where = address == QHostAddress(QHostAddress::Any)
                                  ? QStringLiteral("Der TCP-Port %1").arg(port)
                                  : QStringLiteral("Der TCP-Port %1 auf %2 (ListenAddress)")
                                        .arg(port)
                                        .arg(address.toString());
        throw VbError(
            e.number,
            QStringLiteral("%1 kann nicht geöffnet werden: %2").arg(where, e.description));
    }
}

bool ClientHub::isListening() const
{
    return m_listener->isListening();
}

quint16 ClientHub::serverPort() const
{
    return m_listener->serverPort();
}

QString ClientHub::localHostName() const
{
    return QHostInfo::localHostName();
}

ClientHub::Slot* ClientHub::slotAt(int index) const
{
    if (index < 1 || index > socketCounter())
        return nullptr;
    return m_slots.at(size_t(index - 1)).get();
}

bool ClientHub::isConnected(int slot) const
{
    const Slot* s = slotAt(slot);
    return s && s->socket && s->socket->state() == QAbstractSocket::ConnectedState;
}

QString ClientHub::hostName(int slot) const
{
    const Slot* s = slotAt(slot);
    return s ? s->hostName : QString();
}

bool ClientHub::replaying(int slot) const
{
    const Slot* s = slotAt(slot);
    return s && s->replay.has_value();
}

qint64 ClientHub::unsentBytes(int slot) const
{
    const Slot* s = slotAt(slot);
    if (!s || !s->socket)
        return 0;
    const qint64 encrypted = s->tls ? s->tls->encryptedBytesToWrite() : 0;
    return s->socket->bytesToWrite() + encrypted + s->held.size();
}

qint64 ClientHub::waiting(const Slot& slot) const
{
    return slot.socket->bytesToWrite() + (slot.tls ? slot.tls->encryptedBytesToWrite() : 0);
}

int ClientHub::slotOfPeerPort(quint16 peerPort) const
{
    for (int i = 1; i <= socketCounter(); ++i) {
        const Slot* s = slotAt(i);
        if (s->socket && s->socket->state() != QAbstractSocket::UnconnectedState &&
            s->socket->peerPort() == peerPort)
            return i;
    }
    return 0;
}

QString ClientHub::connectionLine(const Slot& slot) const
{
    return slot.ip + QStringLiteral(" / ") + slot.hostName;
}

void ClientHub::updateConnections()
{
    if (!m_connectionsChanged)
        return;
    m_connectionsChanged = false;
    QStringList lines;
    for (int i = 1; i <= socketCounter(); ++i) {
        if (slotAt(i)->listed && isConnected(i))
            lines << connectionLine(*slotAt(i));
    }
    if (lines == m_connections)
        return;
    m_connections = lines;
    emit connectionsChanged(m_connections);
}

void ClientHub::Winsock1_ConnectionRequest(int index, qintptr requestID)
{
    guarded(m_reporter, QStringLiteral("Winsock1_ConnectionRequest"), [&] {
        if (index != 0)
            return;
        if (refusedAtOnce(requestID))
            return;
        for (int i = 1; i <= socketCounter(); ++i) {
            if (!isConnected(i)) {
                acceptOn(i, requestID);
                return;
            }
        }
        m_slots.push_back(std::make_unique<Slot>());
        acceptOn(socketCounter(), requestID);
    });
}

void ClientHub::acceptOn(int index, qintptr requestID)
{
    Slot& slot = *slotAt(index);
    if (slot.socket)
        dropConnection(index); // the previous connection of this slot has ended
    slot.hostName.clear();
    slot.ip.clear();

    QSslSocket* tls = m_access.tls ? new QSslSocket(this) : nullptr;
    QTcpSocket* socket = tls ? tls : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(requestID)) {
        const QString reason = SocketError::from(socket->error()).description;
        delete socket;
        throw VbError(err::SocketError,
                      QStringLiteral("Die Verbindung kann nicht angenommen werden: ") + reason);
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    slot.socket = socket;
    slot.tls = tls;
    slot.spoke = false;
    slot.refused = false;
    slot.tlsErrors.clear();
    slot.tlsAlert.reset();
    slot.ip = addressText(socket->peerAddress());
    qCInfo(lcClients).noquote()
        << QStringLiteral("Client %1 verbunden (Platz %2)").arg(slot.ip).arg(index);
    connect(socket, &QTcpSocket::readyRead, this, [this, index] { Winsock1_DataArrival(index); });
    connect(socket, &QTcpSocket::disconnected, this, [this, index] { Winsock1_Close(index); });
    if (tls) {
        tls->setSslConfiguration(*m_access.tls);
        connect(tls, &QSslSocket::encrypted, this, [this, index] { tlsEncrypted(index); });
        const auto record = [this, index](const QSslError& e) {
            if (Slot* s = slotAt(index))
                s->tlsErrors.append(e);
        };
        // Direct: not continuing the handshake refuses the client with an alert.
        connect(tls, &QSslSocket::handshakeInterruptedOnError, this, record, Qt::DirectConnection);
        connect(tls, &QSslSocket::sslErrors, this, [record](const QList<QSslError>& errors) {
            for (const QSslError& e : errors)
                record(e);
        });
        connect(tls, &QSslSocket::alertReceived, this,
                [this, index](QSsl::AlertLevel level, QSsl::AlertType type, const QString&) {
                    if (Slot* s = slotAt(index); s && level == QSsl::AlertLevel::Fatal)
                        s->tlsAlert = type;
                });
        connect(tls, &QAbstractSocket::errorOccurred, this,
                [this, index](QAbstractSocket::SocketError error) { tlsFailed(index, error); });
        QTimer::singleShot(TlsHandshakeMs, tls, [this, index, tls] {
            Slot* s = slotAt(index);
            if (!s || s->socket != tls || tls->isEncrypted() || s->refused)
                return;
            sayRefused(s->ip, QStringLiteral("hat die TLS-Aushandlung nicht binnen %1 s "
                                             "abgeschlossen")
                                  .arg(TlsHandshakeMs / 1000));
            dropConnection(index);
            updateConnections();
        });
    }
    m_connectionsChanged = true;
}

bool ClientHub::refusedAtOnce(qintptr requestID)
{
    if (m_access.allowed.admitsEveryone())
        return false;
    const QHostAddress peer = peerAddressOf(requestID);
    if (m_access.allowed.admits(peer))
        return false;
    // Closed before it has a slot or a byte.
    ::close(int(requestID));
    sayRefused(peer.isNull() ? QStringLiteral("(unbekannt)") : addressText(peer),
               QStringLiteral("nicht in ErlaubteClients"));
    return true;
}

void ClientHub::sayRefused(const QString& address, const QString& reason)
{
    int unsaid = 0;
    if (!m_refusals.shouldSay(address + QLatin1Char(' ') + reason, &unsaid))
        return;
    QString text = QStringLiteral("Client %1 abgewiesen: %2").arg(address, reason);
    if (unsaid > 0)
        text += QStringLiteral(" (%1-mal mehr seit der letzten Meldung)").arg(unsaid);
    qCWarning(lcClients).noquote() << text;
    emit clientRefused(text);
}

void ClientHub::refuseSpeaker(int index, const QString& reason)
{
    Slot& slot = *slotAt(index);
    sayRefused(slot.ip, reason);
    slot.refused = true;
    // All it sent is read, so the close ends the connection in order and the
    // alert reaches the client; its close is then handled as it comes.
    slot.socket->readAll();
    slot.socket->write(tls::protocolVersionAlert());
    slot.socket->disconnectFromHost();
    m_connectionsChanged = true;
}

void ClientHub::beginTls(int index)
{
    Slot& slot = *slotAt(index);
    const QByteArray first = slot.socket->peek(1);
    if (first.isEmpty())
        return;
    slot.spoke = true;
    if (first.at(0) == 0x16) { // a TLS handshake record: the client's hello
        slot.tls->startServerEncryption();
        return;
    }
    refuseSpeaker(index, QStringLiteral("spricht ohne TLS, der Server verlangt TLS (beim Client "
                                        "TLS=1 setzen)"));
}

void ClientHub::tlsEncrypted(int index)
{
    Slot* slot = slotAt(index);
    if (!slot || !slot->tls)
        return;
    const QSslCertificate peer = slot->tls->peerCertificate();
    qCInfo(lcClients).noquote() << QStringLiteral("Client %1 verschlüsselt (%2)")
                                       .arg(slot->ip,
                                            peer.isNull()
                                                ? QStringLiteral("ohne Client-Zertifikat")
                                                : QStringLiteral("Client-Zertifikat \"%1\"")
                                                      .arg(peer.subjectDisplayName()));
    slot->tlsErrors.clear();
    // The lines that came during the handshake.
    if (!slot->held.isEmpty() && !slot->replay) {
        send(*slot, slot->held);
        slot->held = QByteArray();
    }
}

void ClientHub::tlsFailed(int index, QAbstractSocket::SocketError error)
{
    Slot* slot = slotAt(index);
    if (!slot || !slot->tls || slot->refused)
        return;
    if (slot->tls->isEncrypted()) {
        // A close after the handshake is an ordinary one; a stream that
        // cannot be decrypted any more ends the connection.
        if (error != QAbstractSocket::RemoteHostClosedError)
            QTimer::singleShot(0, this, [this, index, socket = slot->socket] {
                if (Slot* s = slotAt(index); s && s->socket == socket) {
                    qCInfo(lcClients).noquote()
                        << QStringLiteral("Client %1 getrennt: %2")
                               .arg(connectionLine(*s), socket->errorString());
                    dropConnection(index);
                    updateConnections();
                }
            });
        return;
    }
    tls::ServerFailure failure;
    failure.errors = slot->tlsErrors;
    failure.alert = slot->tlsAlert;
    if (error != QAbstractSocket::RemoteHostClosedError)
        failure.errorString = slot->tls->errorString();
    failure.clientCertificateRequired =
        slot->tls->sslConfiguration().peerVerifyMode() == QSslSocket::VerifyPeer;
    failure.clientCertificatePresented = !slot->tls->peerCertificate().isNull();
    slot->refused = true;
    sayRefused(slot->ip, tls::describe(failure));
    // Closed from the event loop: the socket may still be in its own handling.
    QTimer::singleShot(0, this, [this, index, socket = slot->socket] {
        if (Slot* s = slotAt(index); s && s->socket == socket) {
            dropConnection(index);
            updateConnections();
        }
    });
}

void ClientHub::dropConnection(int index)
{
    Slot* slot = slotAt(index);
    if (!slot || !slot->socket)
        return;
    slot->socket->disconnect(this);
    slot->socket->abort();
    slot->socket->deleteLater();
    slot->socket = nullptr;
    slot->tls = nullptr;
    endReplay(*slot);
    slot->held = QByteArray();
    slot->listed = false;
    m_connectionsChanged = true;
    // Once the socket is gone (and the others that end in the same turn),
    // what it held goes back to the system.
    if (!m_trimScheduled) {
        m_trimScheduled = true;
        QTimer::singleShot(100, this, [this] {
            m_trimScheduled = false;
            returnFreedMemory();
        });
    }
}

void ClientHub::Winsock1_DataArrival(int index)
{
    guarded(m_reporter, QStringLiteral("Winsock1_DataArrival"), [&] {
        Slot* slot = slotAt(index);
        if (!slot || !slot->socket || slot->refused)
            return;
        if (slot->tls && slot->tls->mode() == QSslSocket::UnencryptedMode) {
            beginTls(index);
            return;
        }
        // A client message arrives in one piece: what one arrival brings is one
        // message. A peer that sends more than a client may is closed.
        const bool tooMuch = slot->socket->bytesAvailable() > ClientRequest::MaxMessageBytes;
        const QByteArray bytes = tooMuch ? QByteArray() : slot->socket->readAll();
        if (!slot->spoke) {
            slot->spoke = true;
            if (!slot->tls && tls::beginsTlsRecord(bytes)) {
                refuseSpeaker(index, QStringLiteral("spricht TLS, der Server ist ohne TLS "
                                                    "eingestellt (beim Server TLS=1 setzen oder "
                                                    "beim Client TLS=0)"));
                updateConnections();
                return;
            }
        }
        const ClientRequest request = tooMuch ? ClientRequest{ClientRequest::Kind::Refused, {}, {}}
                                              : ClientRequest::parse(bytes);
        switch (request.kind) {
        case ClientRequest::Kind::Announcement:
            qCInfo(lcClients).noquote() << QStringLiteral("Client %1 meldet sich als \"%2\"")
                                               .arg(slot->ip, request.hostName);
            slot->hostName = request.hostName;
            slot->listed = true;
            m_connectionsChanged = true;
            updateConnections();
            break;
        case ClientRequest::Kind::Replay:
            // One replay at a time: asking again before it is sent is ignored.
            if (!slot->replay) {
                qCInfo(lcClients).noquote()
                    << QStringLiteral("Client %1 fordert %2 an")
                           .arg(connectionLine(*slot),
                                request.filter.isEmpty()
                                    ? QStringLiteral("alle gespeicherten Anrufe")
                                    : QStringLiteral("die Anrufe vom ") + request.filter);
                ClientLogFileDatenSenden(request.filter, index);
            }
            break;
        case ClientRequest::Kind::Refused:
            qCWarning(lcClients).noquote()
                << QStringLiteral("Client %1 sendet mehr, als ein Client darf; die Verbindung wird "
                                  "getrennt")
                       .arg(connectionLine(*slot));
            dropConnection(index);
            updateConnections();
            break;
        case ClientRequest::Kind::Ignore:
            break;
        }
    });
}

void ClientHub::Winsock1_Close(int index)
{
    guarded(m_reporter, QStringLiteral("Winsock1_Close"), [&] {
        if (const Slot* slot = slotAt(index); slot && slot->socket && !slot->refused)
            qCInfo(lcClients).noquote()
                << QStringLiteral("Client %1 getrennt").arg(connectionLine(*slot));
        // The slot stays for the next connection; the list no longer shows it.
        dropConnection(index);
        updateConnections();
    });
}

void ClientHub::ClientsNachrichtSenden(const QString& line)
{
    const QByteArray bytes = wire::lineBytes(line);
    for (int i = 1; i <= socketCounter(); ++i) {
        ignoringErrors([&] {
            Slot& slot = *slotAt(i);
            if (!isConnected(i) || slot.refused) {
                // Gone before its close was handled: no longer listed.
                m_connectionsChanged = m_connectionsChanged || slot.listed;
                return;
            }
            if (slot.tls && !slot.tls->isEncrypted()) {
                slot.held += bytes; // never unencrypted: after its handshake
            } else {
                m_connectionsChanged = m_connectionsChanged || !slot.listed;
                slot.listed = true;
                if (slot.replay && !slot.replay->read())
                    slot.held += bytes; // after the replay, as a live line
                else
                    send(slot, bytes);
            }
            if (unsentBytes(i) > MaxUnsentBytes) {
                // Takes far more than its share.
                qCWarning(lcClients).noquote()
                    << QStringLiteral("Client %1 liest nicht mehr (über %2 KiB ungelesen); die "
                                      "Verbindung wird getrennt")
                           .arg(connectionLine(slot))
                           .arg(MaxUnsentBytes / 1024);
                dropConnection(i);
            }
        });
    }
    updateConnections();
}

void ClientHub::send(Slot& slot, const QByteArray& bytes)
{
    if (slot.tls) {
        // Encrypted by the socket, and handed to the system at once.
        slot.tls->write(bytes);
        slot.tls->flush();
        return;
    }
    QTcpSocket* socket = slot.socket;
    qint64 sent = 0;
    // A line goes to the system's socket buffer at once when nothing waits
    // before it: no copy of our own and no write notification to switch on
    // and off in the event loop, which for 50 clients cost more than the
    // sends.
    if (socket->bytesToWrite() == 0) {
        const ssize_t n = ::send(int(socket->socketDescriptor()), bytes.constData(),
                                 size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return; // the connection is broken; its close is handled as it comes
        sent = qMax<qint64>(n, 0);
    }
    // What the system did not take waits in the socket and goes when it can.
    if (sent < bytes.size())
        socket->write(bytes.constData() + sent, bytes.size() - sent);
}

void ClientHub::ClientLogFileDatenSenden(const QString& filter, int slot)
{
    guarded(m_reporter, QStringLiteral("ClientLogFileDatenSenden"), [&] {
        if (!isConnected(slot))
            throw VbError(err::SocketState,
                          QStringLiteral("Der Client %1 ist nicht verbunden").arg(slot));
        Slot::Replay replay;
        replay.filter = filter;
        replay.end = m_log.journalEnd();
        Slot& s = *slotAt(slot);
        s.replay = replay;
        // Queued: the next part of a replay is read after the socket's own work.
        s.replayProgress = connect(
            s.socket, &QTcpSocket::bytesWritten, this, [this, slot] { pumpReplay(slot); },
            Qt::QueuedConnection);
        if (s.tls)
            s.replayProgressEncrypted = connect(
                s.tls, &QSslSocket::encryptedBytesWritten, this, [this, slot] { pumpReplay(slot); },
                Qt::QueuedConnection);
    });
    pumpReplay(slot);
}

void ClientHub::endReplay(Slot& slot)
{
    slot.replay.reset();
    disconnect(slot.replayProgress);
    disconnect(slot.replayProgressEncrypted);
}

void ClientHub::pumpReplay(int index)
{
    Slot* slot = slotAt(index);
    if (!slot || !slot->replay || !isConnected(index))
        return;
    QTcpSocket* socket = slot->socket;
    Slot::Replay& replay = *slot->replay;
    if (replay.read()) {
        // Everything is written; the replay counts until the client took it.
        if (waiting(*slot) == 0)
            endReplay(*slot);
        return;
    }
    const bool ok = guarded(m_reporter, QStringLiteral("ClientLogFileDatenSenden"), [&] {
        qint64 budget = ReplayReadPerTurn;
        while (!replay.read() && budget > 0 && waiting(*slot) < ReplayWindowBytes) {
            const qint64 from = replay.offset;
            replay.offset = m_log.readJournalPart(
                replay.filter, replay.offset, replay.end, ReplayWindowBytes - waiting(*slot),
                [&](const QString& message) { socket->write(wire::lineBytes(message)); });
            if (replay.offset == from)
                replay.offset = replay.end; // the log got shorter meanwhile: nothing more
            budget -= replay.offset - from;
        }
    });
    if (!ok) {
        replay.offset = replay.end; // the rest cannot be read
    }
    if (replay.read()) {
        socket->write(slot->held); // the live lines that came meanwhile
        slot->held = QByteArray();
        if (waiting(*slot) == 0)
            endReplay(*slot);
    } else if (waiting(*slot) < ReplayWindowBytes) {
        // Nothing selected in this turn's part: go on in the next turn.
        QTimer::singleShot(0, this, [this, index] { pumpReplay(index); });
    }
}

void ClientHub::closeAll()
{
    if (m_listener->isListening())
        m_listener->close();
    const QDeadlineTimer deadline(ShutdownWaitMs);
    for (auto& slot : m_slots) {
        QTcpSocket* socket = slot->socket;
        if (!socket)
            continue;
        socket->disconnect(this);
        if (socket->state() != QAbstractSocket::UnconnectedState) {
            socket->disconnectFromHost();
            while (socket->state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
                QCoreApplication::processEvents();
                if (socket->state() != QAbstractSocket::UnconnectedState)
                    socket->waitForDisconnected(20);
            }
            if (socket->state() != QAbstractSocket::UnconnectedState)
                socket->abort();
        }
        delete socket;
        slot->socket = nullptr;
    }
    m_slots.clear();
    m_connections.clear();
    emit connectionsChanged(m_connections);
}

} // namespace vorsa

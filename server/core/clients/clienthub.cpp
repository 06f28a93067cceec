#include "clienthub.h"

#include "calllog.h"
#include "net/socketerror.h"
#include "reporter.h"
#include "vberror.h"
#include "win1252.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QTcpServer>
#include <QTcpSocket>

namespace vorsa {

namespace {
const QByteArray LineEnd = QByteArrayLiteral("\r");
const QString Announcement = QStringLiteral("HN:");
const QString ReplayRequest = QStringLiteral("*D*:");
constexpr int DatedReplayLength = 14;
constexpr int ShutdownWaitMs = 3000;

QString addressText(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}
} // namespace

struct ClientHub::Slot {
    QTcpSocket* socket = nullptr; // owned by the hub (child)
    QString ip;
    QString hostName;
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

void ClientHub::listen(quint16 port)
{
    if (m_listener->isListening())
        m_listener->close();
    if (!m_listener->listen(QHostAddress::Any, port)) {
        const SocketError e = SocketError::from(m_listener->serverError());
        throw VbError(e.number, QStringLiteral("Der TCP-Port %1 kann nicht geöffnet werden: %2")
                                    .arg(port)
                                    .arg(e.description));
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

void ClientHub::setConnections(const QStringList& lines)
{
    m_connections = lines;
    emit connectionsChanged(m_connections);
}

void ClientHub::Winsock1_ConnectionRequest(int index, qintptr requestID)
{
    guarded(m_reporter, QStringLiteral("Winsock1_ConnectionRequest"), [&] {
        if (index != 0)
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
    if (slot.socket) {
        // The previous connection of this slot has ended; drop its socket.
        slot.socket->disconnect(this);
        slot.socket->abort();
        slot.socket->deleteLater();
        slot.socket = nullptr;
    }
    slot.hostName.clear();
    slot.ip.clear();

    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(requestID)) {
        const QString reason = SocketError::from(socket->error()).description;
        delete socket;
        throw VbError(err::SocketError,
                      QStringLiteral("Die Verbindung kann nicht angenommen werden: ") + reason);
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    slot.socket = socket;
    slot.ip = addressText(socket->peerAddress());
    connect(socket, &QTcpSocket::readyRead, this, [this, index] { Winsock1_DataArrival(index); });
    connect(socket, &QTcpSocket::disconnected, this, [this, index] { Winsock1_Close(index); });
}

void ClientHub::Winsock1_DataArrival(int index)
{
    guarded(m_reporter, QStringLiteral("Winsock1_DataArrival"), [&] {
        Slot* slot = slotAt(index);
        if (!slot || !slot->socket)
            return;
        // A client message arrives in one piece: what one arrival brings is one
        // message. A peer that sends more than a message can hold is closed.
        if (slot->socket->bytesAvailable() > MaxMessageBytes) {
            slot->socket->abort();
            return;
        }
        const QString text = fromWin1252(slot->socket->readAll());
        if (text.startsWith(Announcement)) {
            slot->hostName = text.mid(Announcement.size());
            setConnections(m_connections + QStringList{connectionLine(*slot)});
        } else if (text.startsWith(ReplayRequest)) {
            const QString filter = text.size() == DatedReplayLength ? text.right(10) : QString();
            ClientLogFileDatenSenden(filter, index);
        }
    });
}

void ClientHub::Winsock1_Close(int index)
{
    guarded(m_reporter, QStringLiteral("Winsock1_Close"), [&] {
        Slot* slot = slotAt(index);
        if (slot && slot->socket && slot->socket->state() != QAbstractSocket::UnconnectedState)
            slot->socket->close();
    });
}

void ClientHub::ClientsNachrichtSenden(const QString& line)
{
    const QByteArray bytes = toWin1252(line) + LineEnd;
    QStringList lines;
    for (int i = 1; i <= socketCounter(); ++i) {
        ignoringErrors([&] {
            if (!isConnected(i))
                return;
            Slot& slot = *slotAt(i);
            slot.socket->write(bytes);
            slot.socket->flush();
            lines << connectionLine(slot);
        });
    }
    setConnections(lines);
}

void ClientHub::ClientLogFileDatenSenden(const QString& filter, int slot)
{
    guarded(m_reporter, QStringLiteral("ClientLogFileDatenSenden"), [&] {
        if (!isConnected(slot))
            throw VbError(err::SocketState,
                          QStringLiteral("Der Client %1 ist nicht verbunden").arg(slot));
        QTcpSocket* socket = slotAt(slot)->socket;
        m_log.readJournal(
            filter, [&](const QString& message) { socket->write(toWin1252(message) + LineEnd); });
        socket->flush();
    });
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
    setConnections({});
}

} // namespace vorsa

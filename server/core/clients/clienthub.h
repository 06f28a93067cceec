#pragma once

#include "clientaccess.h"
#include "wire/clientrequest.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QSslSocket;

namespace vorsa {

class CallLog;
class IReporter;

// The socket array of the server: index 0 listens, 1 .. socketCounter() are
// client slots, created on demand and reused when their connection has ended.
// Lines go out in Windows-1252, each ended by CR.
//
// What the server holds for one client is capped: a replay of the journal is
// read from the call log only as fast as the client takes it, a new replay
// request while one is still unsent is ignored, a host name is at most
// ClientRequest::MaxHostNameLength characters, and a client that leaves more
// than MaxUnsentBytes unread (or sends more than it may) is closed and its
// memory returned.
//
// Who may connect is set by setAccess: the address listened on, the
// addresses clients may come from (anyone else is closed at once, before it
// has a slot or a byte) and TLS. With TLS only clients that speak it are
// served; a line never goes out unencrypted, and lines for a client still in
// its handshake wait for it. Refusals are logged (vorsa.server.clients) once
// per address and minute and told by clientRefused, never in a box.
class ClientHub : public QObject {
    Q_OBJECT
public:
    ClientHub(const CallLog& log, IReporter& reporter, QObject* parent = nullptr);
    ~ClientHub() override;

    // Who may connect; before listen.
    void setAccess(ClientAccess access);
    const ClientAccess& access() const { return m_access; }
    // Listens on the access's address (all by default); a port that cannot
    // be opened throws a VbError.
    void listen(quint16 port);
    bool isListening() const;
    quint16 serverPort() const;
    QString localHostName() const;

    // Sends the line (without CR) followed by CR to every connected slot and
    // rebuilds the connection list. Errors of one slot are ignored.
    void ClientsNachrichtSenden(const QString& line);
    // Sends the journal entries the filter selects ("" all, else dd.mm.yyyy) to
    // one slot, one line each, as the client takes them; live lines wait
    // behind the replay. Errors: "[ClientLogFileDatenSenden]".
    void ClientLogFileDatenSenden(const QString& filter, int slot);

    // The lines of lstConnections: IP address + " / " + host name, one per
    // connected client that announced itself or was sent a line.
    QStringList connections() const { return m_connections; }
    // The highest slot index created so far.
    int socketCounter() const { return int(m_slots.size()); }
    // The slot whose connection comes from that local port of the peer; 0 when none.
    int slotOfPeerPort(quint16 peerPort) const;
    bool isConnected(int slot) const;
    QString hostName(int slot) const;
    // Whether a replay to the slot is still being read or sent.
    bool replaying(int slot) const;
    // The bytes the server holds for the slot that the client has not taken yet.
    qint64 unsentBytes(int slot) const;

    static constexpr qint64 MaxMessageBytes = ClientRequest::MaxMessageBytes;
    // The most a client may leave unread before it is closed.
    static constexpr qint64 MaxUnsentBytes = 512 * 1024;
    // How much of a replay waits in the socket at a time.
    static constexpr qint64 ReplayWindowBytes = 64 * 1024;
    // How long a TLS client may take for its handshake.
    static constexpr int TlsHandshakeMs = 10000;

    // Shutdown: closes every socket, letting events run until each is closed.
    void closeAll();

signals:
    void connectionsChanged(const QStringList& lines);
    // A client was refused (not admitted, or its TLS handshake failed); said
    // once per address and reason and minute.
    void clientRefused(const QString& text);

private slots:
    void Winsock1_ConnectionRequest(int index, qintptr requestID);
    void Winsock1_DataArrival(int index);
    void Winsock1_Close(int index);

private:
    struct Slot;
    class ListenSocket;
    Slot* slotAt(int index) const;
    void acceptOn(int index, qintptr requestID);
    // Closes the descriptor of a client that may not connect; true when it was.
    bool refusedAtOnce(qintptr requestID);
    void sayRefused(const QString& address, const QString& reason);
    // TLS: the first bytes of a client decide between the handshake and a
    // plain client, which is refused.
    void beginTls(int index);
    void tlsEncrypted(int index);
    void tlsFailed(int index, QAbstractSocket::SocketError error);
    // Closes a client that speaks the other way after telling it so.
    void refuseSpeaker(int index, const QString& reason);
    // What waits for the client: in the socket and, with TLS, encrypted.
    qint64 waiting(const Slot& slot) const;
    QString connectionLine(const Slot& slot) const;
    void updateConnections();
    // Sends the next part of the slot's replay when the client has taken the last.
    void pumpReplay(int index);
    // Drops the slot's connection and everything held for it.
    void dropConnection(int index);
    void endReplay(Slot& slot);
    // Sends bytes to a connected client, after anything still waiting for it.
    void send(Slot& slot, const QByteArray& bytes);

    const CallLog& m_log;
    IReporter& m_reporter;
    ClientAccess m_access;
    RefusalLog m_refusals;
    std::unique_ptr<ListenSocket> m_listener;
    std::vector<std::unique_ptr<Slot>> m_slots; // slot i at position i - 1
    QStringList m_connections;
    bool m_connectionsChanged = false; // the lines must be made again
    bool m_trimScheduled = false;
};

} // namespace vorsa

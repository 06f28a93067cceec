#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace vorsa {

class CallLog;
class IReporter;

// The socket array of the server: index 0 listens, 1 .. socketCounter() are
// client slots, created on demand and reused when their connection has ended.
// Lines go out in Windows-1252, each ended by CR.
class ClientHub : public QObject {
    Q_OBJECT
public:
    ClientHub(const CallLog& log, IReporter& reporter, QObject* parent = nullptr);
    ~ClientHub() override;

    // Listens on all addresses; a port that cannot be opened throws a VbError.
    void listen(quint16 port);
    bool isListening() const;
    quint16 serverPort() const;
    QString localHostName() const;

    // Sends the line (without CR) followed by CR to every connected slot and
    // rebuilds the connection list. Errors of one slot are ignored.
    void ClientsNachrichtSenden(const QString& line);
    // Sends the journal entries the filter selects ("" all, else dd.mm.yyyy) to
    // one slot, one line each. Errors: "[ClientLogFileDatenSenden]".
    void ClientLogFileDatenSenden(const QString& filter, int slot);

    // The lines of lstConnections: IP address + " / " + host name.
    QStringList connections() const { return m_connections; }
    // The highest slot index created so far.
    int socketCounter() const { return int(m_slots.size()); }
    // The slot whose connection comes from that local port of the peer; 0 when none.
    int slotOfPeerPort(quint16 peerPort) const;
    bool isConnected(int slot) const;
    QString hostName(int slot) const;
    // The most a client may send in one piece; a slot that exceeds it is closed.
    static constexpr qint64 MaxMessageBytes = 64 * 1024;

    // Shutdown: closes every socket, letting events run until each is closed.
    void closeAll();

signals:
    void connectionsChanged(const QStringList& lines);

private slots:
    void Winsock1_ConnectionRequest(int index, qintptr requestID);
    void Winsock1_DataArrival(int index);
    void Winsock1_Close(int index);

private:
    struct Slot;
    class ListenSocket;
    Slot* slotAt(int index) const;
    void acceptOn(int index, qintptr requestID);
    QString connectionLine(const Slot& slot) const;
    void setConnections(const QStringList& lines);

    const CallLog& m_log;
    IReporter& m_reporter;
    std::unique_ptr<ListenSocket> m_listener;
    std::vector<std::unique_ptr<Slot>> m_slots; // slot i at position i - 1
    QStringList m_connections;
};

} // namespace vorsa

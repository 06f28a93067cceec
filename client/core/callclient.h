#pragma once

#include "calllistmodel.h"
#include "clientsettings.h"
#include "clock.h"
#include "externprogram.h"
#include "fielddefinitions.h"
#include "foreground.h"
#include "net/socketerror.h"
#include "net/tls.h"
#include "wire/receivebuffer.h"

#include <QObject>
#include <QSslSocket>
#include <QTimer>
#include <functional>
#include <optional>

namespace vorsa {

class IDesktop;
class IIconList;
class IReporter;
class IWindowStacking;

// The logic of the client window frmPeerA: start-up and close, the connection
// to the call server, the received lines, the call list and the menu commands.
// The window only shows what this class holds and forwards the user's actions.
class CallClient : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString txtOutput READ txtOutput NOTIFY txtOutputChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
    Q_PROPERTY(QString connectionState READ connectionState NOTIFY connectionStateChanged)
public:
    // The enabled and checked states of the menus.
    struct Menus {
        bool verbindenEnabled = true;
        bool aktualisierenEnabled = true;
        bool immerImVordergrundChecked = false;
        bool beiAnrufInVordergrundChecked = false;
        bool operator==(const Menus&) const = default;
    };

    // At most this many received lines are handled per turn of the event loop,
    // so that a long replay never blocks the window.
    static constexpr int DefaultSliceLines = 500;
    // An unfinished line longer than this closes the connection.
    static constexpr qsizetype MaxUnfinishedLine = 1 << 20;

    CallClient(QString programDir, IReporter& reporter, IDesktop& desktop, IWindowStacking& window,
               IIconList& icons, QObject* parent = nullptr);
    ~CallClient() override;

    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setLocalHostName(const QString& name) { m_localHostName = name; }
    void setSliceLines(int lines) { m_sliceLines = qMax(1, lines); }
    // The first pause before a new connect (1 s); later pauses double up to
    // 30 of it. Tests shorten it. After a TLS failure (a certificate, a
    // server that wants TLS or none) the next connect follows after the
    // longest pause: it heals only when someone changes the settings.
    void setReconnectUnitMs(int ms) { m_reconnectUnitMs = qMax(1, ms); }
    // How long the server may take for the TLS handshake.
    static constexpr int TlsHandshakeMs = 10000;

    // Form_Load: `restorePlacement` restores the window placement first; its
    // failure is reported as "[Form_Load]" and ends the load.
    void Form_Load(const std::function<void()>& restorePlacement = {});
    // Form_Unload: stops the on-call period, saves the placement, the
    // foreground options and the column layout (`columns` as the list shows
    // them now), releases the definitions and closes the connection.
    void Form_Unload(const std::function<void()>& savePlacement,
                     const QList<FieldDefinitions::Column>& columns);

    void mnuVerbinden_Click();
    void mnuHeute_Click();
    void mnuAlles_Click();
    void mnuLeeren_Click();
    void mnuImmerImVordergrund_Click();
    void mnuBeiAnrufInVordergrund_Click();
    // Row clicked: the cells of the row joined by ", " into txtOutput.
    void ListView1_ItemClick(int row);
    // Row double-clicked (-1: none selected): starts the external program
    // with the row's value of the configured field.
    void ListView1_DblClick(int row);
    // The value a double-click on the row hands to the external program ("" none).
    QString doubleClickValue(int row) const;

    const ClientSettings& settings() const { return m_settings; }
    const FieldDefinitions& fields() const { return m_fields; }
    CallListModel& model() { return m_model; }
    const CallListModel& model() const { return m_model; }
    Foreground& foreground() { return m_foreground; }
    const ExternProgram& externProgram() const { return m_extern; }
    int iconCount() const { return m_iconCount; }
    int currentIcon() const { return m_currentIcon; }
    QString txtOutput() const { return m_txtOutput; }
    QString statusText() const { return m_statusText; }
    // The connection as the status line shows it: "verbunden", "verbunden
    // (TLS)", "getrennt – neuer Versuch in 8 s", "TLS-Fehler – neuer Versuch
    // in 30 s", ...
    QString connectionState() const { return m_connectionState; }
    // The pause before the next automatic connect; 0 when none is due.
    int reconnectPauseMs() const { return m_reconnectTimer.isActive() ? m_reconnectPauseMs : 0; }
    bool autoReconnect() const { return m_autoReconnect; }
    Menus menus() const;
    QAbstractSocket::SocketState socketState() const { return m_socket.state(); }
    // Received lines not yet handled.
    qsizetype pendingLines() const { return m_buffer.pendingLines(); }

signals:
    void txtOutputChanged(const QString& text);
    void statusTextChanged(const QString& text);
    void connectionStateChanged(const QString& text);
    void menusChanged();
    // A data arrival has been handled to its end (all complete lines are rows).
    void arrivalHandled();
    // The connection to the server is established.
    void connected();

private:
    void connectToServer();
    void scheduleReconnect();
    void reconnectNow();
    void showCountdown();
    void setConnectionState(const QString& text);
    // The TCP connection is made: connected at once, or with TLS once the
    // handshake is through (Winsock1_Connect).
    void Winsock1_TcpConnected();
    void Winsock1_Connect();
    void Winsock1_DataArrival();
    void Winsock1_Close();
    void Winsock1_Error(QAbstractSocket::SocketError error);
    // What the TLS handshake of this connection found, with this error.
    tls::ClientFailure tlsFailure(QAbstractSocket::SocketError error) const;
    // A TLS failure: shown in a box when the user connected, or when it is
    // not the one shown last (an automatic connect repeats it silently);
    // the next connect follows after the longest pause.
    void failTls(const SocketError& e);
    void handleBuffer();
    void handleLine(const QString& line);
    void send(const QByteArray& message);
    void ListView1Aufbauen();
    void setTxtOutput(const QString& text);
    void setMenus(bool verbinden, bool aktualisieren);

    QString m_programDir;
    IReporter& m_reporter;
    IDesktop& m_desktop;
    IIconList& m_icons;
    Clock m_clock = systemClock();
    QString m_localHostName;

    ClientSettings m_settings;
    FieldDefinitions m_fields;
    CallListModel m_model;
    ExternProgram m_extern;
    Foreground m_foreground;
    int m_iconCount = 0;
    int m_currentIcon = 0;
    QString m_txtOutput;
    QString m_statusText;
    bool m_verbindenEnabled = true;
    bool m_aktualisierenEnabled = true;

    QSslSocket m_socket; // unencrypted unless TLS is on
    bool m_socketFailed = false;
    // The connection under way: what its TLS handshake found, whether it was
    // encrypted, whether the server sent anything yet.
    QList<QSslError> m_tlsErrors;
    std::optional<QSsl::AlertType> m_tlsAlert;
    bool m_encrypted = false;
    bool m_receivedAny = false;
    bool m_tlsFailed = false; // the last failure was one of TLS (status line)
    QString m_tlsShown;       // the TLS failure last shown in a box
    bool m_unloading = false;
    ReceiveBuffer m_buffer;
    QString m_lineText; // joined values of the last line of the current arrival
    bool m_handlingScheduled = false;
    int m_sliceLines = DefaultSliceLines;
    bool m_faultShown = false; // a box for a faulty line is open

    // Reconnecting: the next attempt, the countdown in the status line, the
    // time after which a connection counts as working (the pauses start
    // again from the first), and the limit for an automatic connect.
    QString m_connectionState;
    bool m_autoReconnect = false;
    bool m_automaticAttempt = false; // its failure is shown in the status line only
    int m_reconnectUnitMs = 1000;
    int m_reconnectPauseMs = 0;
    QTimer m_reconnectTimer;
    QTimer m_countdownTimer;
    QTimer m_provenTimer;
    QTimer m_connectTimer;
};

} // namespace vorsa

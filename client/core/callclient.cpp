#include "callclient.h"

#include "iconlist.h"
#include "net/socketerror.h"
#include "reporter.h"
#include "wire/notificationline.h"
#include "wire/protocol.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QTimer>
#include <optional>

namespace vorsa {

namespace {
// How long closing waits for the server to take the connection down.
constexpr int kCloseWaitMs = 2000;
// From this many lines in one turn the list is filled in one go.
constexpr qsizetype kBulkLines = 64;
// What the socket takes from the system at a time: a long replay then comes in
// moderate pieces, each quick to copy.
constexpr qint64 kReadBufferBytes = 256 * 1024;
// Pauses between automatic connects grow up to this many times the first.
constexpr int kLongestPauseFactor = 30;
// A connection that lasts this many first pauses has proved itself: the
// pauses start from the first again.
constexpr int kProvenFactor = 10;
// An automatic connect that has not got through after this many first pauses
// is given up and tried again later.
constexpr int kConnectTimeoutFactor = 10;

VbError notConnected()
{
    return {err::SocketState, QStringLiteral("Falsches Protokoll oder falscher Verbindungszustand "
                                             "für die angeforderte Transaktion oder Anforderung")};
}
} // namespace

CallClient::CallClient(QString programDir, IReporter& reporter, IDesktop& desktop,
                       IWindowStacking& window, IIconList& icons, QObject* parent)
    : QObject(parent), m_programDir(std::move(programDir)), m_reporter(reporter),
      m_desktop(desktop), m_icons(icons), m_localHostName(QHostInfo::localHostName()),
      m_foreground(m_settings, window, desktop)
{
    m_socket.setReadBufferSize(kReadBufferBytes);
    connect(&m_socket, &QSslSocket::connected, this, &CallClient::Winsock1_TcpConnected);
    connect(&m_socket, &QSslSocket::encrypted, this, &CallClient::Winsock1_Connect);
    connect(&m_socket, &QSslSocket::readyRead, this, &CallClient::Winsock1_DataArrival);
    connect(&m_socket, &QSslSocket::disconnected, this, &CallClient::Winsock1_Close);
    connect(&m_socket, &QSslSocket::errorOccurred, this, &CallClient::Winsock1_Error);
    connect(&m_socket, &QSslSocket::sslErrors, this,
            [this](const QList<QSslError>& errors) { m_tlsErrors += errors; });
    // Direct: not continuing the handshake refuses the server with an alert.
    connect(
        &m_socket, &QSslSocket::handshakeInterruptedOnError, this,
        [this](const QSslError& error) { m_tlsErrors << error; }, Qt::DirectConnection);
    connect(&m_socket, &QSslSocket::alertReceived, this,
            [this](QSsl::AlertLevel level, QSsl::AlertType type, const QString&) {
                if (level == QSsl::AlertLevel::Fatal)
                    m_tlsAlert = type;
            });
    connect(&m_foreground, &Foreground::optionsChanged, this, &CallClient::menusChanged);

    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &CallClient::reconnectNow);
    m_countdownTimer.setInterval(1000);
    connect(&m_countdownTimer, &QTimer::timeout, this, &CallClient::showCountdown);
    m_provenTimer.setSingleShot(true);
    connect(&m_provenTimer, &QTimer::timeout, this, [this] {
        m_reconnectPauseMs = 0;
        m_tlsShown.clear(); // a failure after this is news again
    });
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        const auto state = m_socket.state();
        if (state == QAbstractSocket::ConnectedState && m_settings.TLS && !m_encrypted) {
            tls::ClientFailure failure = tlsFailure(QAbstractSocket::SocketTimeoutError);
            failure.timedOut = true;
            failTls(*tls::describe(failure));
            return;
        }
        if (state != QAbstractSocket::HostLookupState && state != QAbstractSocket::ConnectingState)
            return;
        m_socket.abort();
        setConnectionState(QStringLiteral("Zeitüberschreitung beim Verbinden"));
        scheduleReconnect();
    });
    m_connectionState = QStringLiteral("nicht verbunden");
}

CallClient::~CallClient()
{
    m_unloading = true;
    m_socket.abort();
}

CallClient::Menus CallClient::menus() const
{
    return {m_verbindenEnabled, m_aktualisierenEnabled, m_settings.Topmost,
            m_settings.TopmostByCall};
}

void CallClient::setMenus(bool verbinden, bool aktualisieren)
{
    if (verbinden == m_verbindenEnabled && aktualisieren == m_aktualisierenEnabled)
        return;
    m_verbindenEnabled = verbinden;
    m_aktualisierenEnabled = aktualisieren;
    emit menusChanged();
}

void CallClient::setTxtOutput(const QString& text)
{
    if (text == m_txtOutput)
        return;
    m_txtOutput = text;
    emit txtOutputChanged(m_txtOutput);
}

// --- start and close ---------------------------------------------------------

void CallClient::Form_Load(const std::function<void()>& restorePlacement)
{
    guarded(m_reporter, QStringLiteral("Form_Load"), [&] {
        if (restorePlacement)
            restorePlacement();
        setMenus(m_verbindenEnabled, false);
        if (m_settings.EinlesenParameterAllgemein(m_programDir, m_localHostName, m_reporter)) {
            m_statusText = m_settings.statusText();
            emit statusTextChanged(m_statusText);
        }
        // Right after the general settings: whatever fails later in the
        // load, a connect never goes out unencrypted where TLS is set.
        m_settings.EinlesenTls(m_reporter);
        emit menusChanged(); // the check marks follow the options just read
        m_fields.EinlesenDatenfelder(m_settings.gstrINIFile, m_reporter);
        m_iconCount = EinlesenIcons(m_settings.gstrINIFile, m_programDir, m_icons, m_reporter);
        m_settings.EinlesenExternProgramm(m_reporter);
        m_extern = ExternProgram(m_settings.Path);
        ListView1Aufbauen();
        m_foreground.VordergrundSetzen(m_settings.Topmost);
        m_autoReconnect = m_settings.readAutoReconnect();
        if (m_settings.autoStart())
            mnuVerbinden_Click();
    });
}

void CallClient::ListView1Aufbauen()
{
    guarded(m_reporter, QStringLiteral("ListView1Aufbauen"), [&] {
        QList<CallListModel::Column> columns;
        for (const auto& d : m_fields) {
            if (d.ColumnVisible)
                columns.append({d.FieldName, d.ColumnHeader, d.ColumnWidth});
        }
        m_model.setColumns(columns);
    });
}

void CallClient::Form_Unload(const std::function<void()>& savePlacement,
                             const QList<FieldDefinitions::Column>& columns)
{
    guarded(m_reporter, QStringLiteral("Form_Unload"), [&] {
        m_foreground.stop();
        if (savePlacement)
            savePlacement();
        // Options that were never read (a failed start) are not stored, so the
        // user's choice survives.
        if (m_settings.foregroundOptionsRead())
            m_settings.saveForegroundOptions();
        if (!m_settings.gstrINIFile.isEmpty())
            m_fields.writeBack(m_settings.gstrINIFile, columns);
        m_fields.clear();

        m_unloading = true;
        m_reconnectTimer.stop();
        m_countdownTimer.stop();
        m_connectTimer.stop();
        if (m_socket.state() == QAbstractSocket::ConnectedState) {
            m_socket.disconnectFromHost();
            if (m_socket.state() != QAbstractSocket::UnconnectedState) {
                QEventLoop loop;
                QTimer::singleShot(kCloseWaitMs, &loop, &QEventLoop::quit);
                connect(&m_socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
                loop.exec();
            }
        }
        m_socket.abort(); // a connect still under way ends here
    });
}

// --- connection --------------------------------------------------------------

void CallClient::setConnectionState(const QString& text)
{
    if (text == m_connectionState)
        return;
    m_connectionState = text;
    emit connectionStateChanged(m_connectionState);
}

void CallClient::mnuVerbinden_Click()
{
    guarded(m_reporter, QStringLiteral("mnuVerbinden_Click"), [&] {
        // At once, also while an automatic connect is due.
        m_reconnectTimer.stop();
        m_countdownTimer.stop();
        m_automaticAttempt = false;
        connectToServer();
    });
}

void CallClient::connectToServer()
{
    const auto state = m_socket.state();
    if (state == QAbstractSocket::ConnectedState || state == QAbstractSocket::ConnectingState ||
        state == QAbstractSocket::HostLookupState)
        return;
    if (m_socketFailed || state != QAbstractSocket::UnconnectedState) {
        m_socket.abort();
        m_socketFailed = false;
    }
    if (m_settings.RemotePort < 1 || m_settings.RemotePort > 65535)
        throw VbError(err::InvalidCall,
                      QStringLiteral("Ungültiger Port %1 (erlaubt sind 1 bis 65535)")
                          .arg(m_settings.RemotePort));
    m_tlsErrors.clear();
    m_tlsAlert.reset();
    m_encrypted = false;
    m_receivedAny = false;
    m_tlsFailed = false;
    setConnectionState(QStringLiteral("verbinde …"));
    if (m_settings.TLS) {
        // The files are read at every connect: a certificate put right by
        // the administrator counts without a restart.
        QSslConfiguration configuration;
        try {
            const auto file = [&](const char* key, const QString& value) {
                return tls::PemFile{QString::fromLatin1(key),
                                    tls::settingPath(m_programDir, value)};
            };
            configuration = tls::clientConfiguration(
                file("TLSZertifizierungsstelle", m_settings.TLSZertifizierungsstelle),
                file("TLSZertifikat", m_settings.TLSZertifikat),
                file("TLSSchluessel", m_settings.TLSSchluessel));
        } catch (const VbError& e) {
            failTls({e.number(), e.description()});
            return;
        }
        m_socket.setSslConfiguration(configuration);
        m_socket.connectToHostEncrypted(m_settings.RemoteHost, quint16(m_settings.RemotePort));
    } else {
        m_socket.connectToHost(m_settings.RemoteHost, quint16(m_settings.RemotePort));
    }
    if (m_automaticAttempt)
        m_connectTimer.start(kConnectTimeoutFactor * m_reconnectUnitMs);
}

void CallClient::scheduleReconnect()
{
    if (m_unloading || m_reconnectTimer.isActive())
        return;
    m_provenTimer.stop();
    if (!m_autoReconnect) {
        setConnectionState(m_tlsFailed ? QStringLiteral("getrennt (TLS-Fehler)")
                                       : QStringLiteral("getrennt"));
        return;
    }
    m_reconnectPauseMs = m_reconnectPauseMs == 0 ? m_reconnectUnitMs
                                                 : qMin(2 * m_reconnectPauseMs,
                                                        kLongestPauseFactor * m_reconnectUnitMs);
    m_reconnectTimer.start(m_reconnectPauseMs);
    m_countdownTimer.start();
    showCountdown();
}

void CallClient::showCountdown()
{
    if (!m_reconnectTimer.isActive()) {
        m_countdownTimer.stop();
        return;
    }
    const int seconds = (m_reconnectTimer.remainingTime() + 999) / 1000;
    setConnectionState((m_tlsFailed ? QStringLiteral("TLS-Fehler – neuer Versuch in %1 s")
                                    : QStringLiteral("getrennt – neuer Versuch in %1 s"))
                           .arg(qMax(1, seconds)));
}

void CallClient::reconnectNow()
{
    m_countdownTimer.stop();
    if (m_unloading)
        return;
    m_automaticAttempt = true;
    // An attempt that cannot even start counts as failed: the next one follows.
    if (!ignoringErrors([&] { connectToServer(); }))
        scheduleReconnect();
}

void CallClient::Winsock1_TcpConnected()
{
    if (!m_settings.TLS) {
        Winsock1_Connect();
        return;
    }
    m_connectTimer.start(TlsHandshakeMs); // now for the handshake
}

void CallClient::Winsock1_Connect()
{
    m_connectTimer.stop();
    m_encrypted = m_socket.isEncrypted();
    m_provenTimer.start(kProvenFactor * m_reconnectUnitMs);
    setConnectionState(m_encrypted ? QStringLiteral("verbunden (TLS)")
                                   : QStringLiteral("verbunden"));
    guarded(m_reporter, QStringLiteral("Winsock1_Connect"), [&] {
        setMenus(false, true);
        send(wire::announcement(m_localHostName));
        emit connected();
    });
}

void CallClient::Winsock1_Close()
{
    if (m_unloading)
        return;
    if (m_settings.TLS && !m_encrypted) {
        // Closed by the server during the handshake: a failure, not a close.
        if (!m_socketFailed)
            failTls(*tls::describe(tlsFailure(QAbstractSocket::RemoteHostClosedError)));
        return;
    }
    // What the server sent before closing is still handled.
    if (m_socket.bytesAvailable() > 0)
        Winsock1_DataArrival();
    ignoringErrors([&] { m_socket.abort(); });
    setMenus(true, true);
    scheduleReconnect();
}

void CallClient::Winsock1_Error(QAbstractSocket::SocketError error)
{
    // A close by the server arrives as this error too; the closed event handles it.
    if (error == QAbstractSocket::RemoteHostClosedError || m_unloading)
        return;
    m_connectTimer.stop();
    if (m_settings.TLS) {
        if (m_socketFailed)
            return; // the failure is said
        if (const auto e = tls::describe(tlsFailure(error))) {
            failTls(*e);
            return;
        }
    }
    guarded(m_reporter, QStringLiteral("Winsock1_Error"), [&] {
        const SocketError e = SocketError::from(error);
        m_socketFailed = true;
        // Closed from the event loop: the socket may still be inside its own error handling.
        QTimer::singleShot(0, this, [this] {
            if (m_socketFailed && m_socket.state() != QAbstractSocket::ConnectedState)
                m_socket.abort();
        });
        // The next automatic connect is due before a box would be shown, so
        // that a box left open holds nothing back. Failures of automatic
        // connects are said in the status line only.
        const bool automatic = m_automaticAttempt;
        scheduleReconnect();
        if (!automatic)
            m_reporter.message(errorText(QStringLiteral("Verbinden Vorsamelder"), e.description),
                               errorTitle(e.number), MessageIcon::Warning);
    });
}

tls::ClientFailure CallClient::tlsFailure(QAbstractSocket::SocketError error) const
{
    tls::ClientFailure f;
    f.errors = m_tlsErrors;
    f.alert = m_tlsAlert;
    f.error = error;
    f.errorString = m_socket.errorString();
    f.encrypted = m_encrypted;
    f.host = m_settings.RemoteHost;
    f.caFile = tls::settingPath(m_programDir, m_settings.TLSZertifizierungsstelle);
    f.ownCertificate = !m_settings.TLSZertifikat.trimmed().isEmpty();
    return f;
}

void CallClient::failTls(const SocketError& e)
{
    m_connectTimer.stop();
    m_socketFailed = true;
    m_tlsFailed = true;
    // Closed from the event loop: the socket may still be inside its own handling.
    QTimer::singleShot(0, this, [this] {
        if (m_socketFailed)
            m_socket.abort();
    });
    // Tried again after the longest pause: a certificate does not heal by
    // itself, but an administrator may put it right meanwhile.
    m_reconnectTimer.stop();
    m_countdownTimer.stop();
    m_reconnectPauseMs = kLongestPauseFactor * m_reconnectUnitMs;
    const bool show = !m_automaticAttempt || e.description != m_tlsShown;
    m_tlsShown = e.description;
    scheduleReconnect();
    if (show)
        m_reporter.message(errorText(QStringLiteral("Verbinden Vorsamelder"), e.description),
                           errorTitle(e.number), MessageIcon::Warning);
}

void CallClient::send(const QByteArray& message)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        throw notConnected();
    if (m_socket.write(message) < 0)
        throw VbError(err::SocketError, QStringLiteral("Senden fehlgeschlagen"));
}

void CallClient::mnuHeute_Click()
{
    guarded(m_reporter, QStringLiteral("mnuHeute_Click"), [&] {
        m_model.clear();
        // The date as the server writes it in the journal.
        send(wire::replayRequest(m_clock().date().toString(QStringLiteral("dd.MM.yyyy"))));
    });
}

void CallClient::mnuAlles_Click()
{
    guarded(m_reporter, QStringLiteral("mnuAlles_Click"), [&] {
        m_model.clear();
        send(wire::replayRequest());
    });
}

// --- received lines ----------------------------------------------------------

void CallClient::Winsock1_DataArrival()
{
    if (m_unloading)
        return;
    const QByteArray bytes = m_socket.readAll();
    if (!m_receivedAny && !bytes.isEmpty()) {
        m_receivedAny = true;
        // A server that wants TLS answers a plain client with a TLS alert.
        if (!m_settings.TLS && tls::beginsTlsRecord(bytes)) {
            failTls(tls::serverWantsTls());
            return;
        }
    }
    const bool ok = guarded(m_reporter, QStringLiteral("Winsock1_DataArrival"), [&] {
        m_buffer.append(bytes);
        if (m_buffer.pendingLines() == 0 && m_buffer.size() > MaxUnfinishedLine) {
            m_buffer.clear();
            QTimer::singleShot(0, this, [this] { m_socket.abort(); });
            throw VbError(err::Overflow,
                          QStringLiteral("Der Server sendet eine Zeile ohne Zeilenende, die "
                                         "länger als 1 MiB ist; die Verbindung wird getrennt."));
        }
    });
    if (!ok || m_handlingScheduled)
        return; // a long arrival still being handled takes this one with it
    m_lineText.clear();
    handleBuffer();
}

void CallClient::handleBuffer()
{
    m_handlingScheduled = false;
    std::optional<VbError> fault;
    const bool ok = guarded(m_reporter, QStringLiteral("Winsock1_DataArrival"), [&] {
        const qsizetype lines = qMin<qsizetype>(m_buffer.pendingLines(), m_sliceLines);
        const bool bulk = lines >= kBulkLines;
        if (bulk)
            m_model.beginBulk();
        try {
            QString line;
            for (qsizetype i = 0; i < lines && m_buffer.takeLine(line); ++i) {
                try {
                    handleLine(line);
                } catch (const VbError& e) {
                    fault = e;
                    break;
                }
            }
        } catch (...) {
            if (bulk)
                m_model.endBulk();
            throw;
        }
        if (bulk)
            m_model.endBulk();
    });
    if (!ok)
        return;
    if (fault) {
        // The faulty line is lost and this event ends; the lines after it
        // are handled at once, not when the server sends more (they go on
        // while the box is open). One box at a time.
        if (m_buffer.pendingLines() > 0) {
            m_handlingScheduled = true;
            QTimer::singleShot(0, this, &CallClient::handleBuffer);
        }
        if (!m_faultShown) {
            m_faultShown = true;
            m_reporter.reportError(QStringLiteral("Winsock1_DataArrival"), *fault);
            m_faultShown = false;
        }
        return;
    }
    if (m_buffer.pendingLines() > 0) {
        m_handlingScheduled = true;
        QTimer::singleShot(0, this, &CallClient::handleBuffer);
        return;
    }
    setTxtOutput(m_lineText);
    if (m_settings.TopmostByCall)
        m_foreground.alert();
    emit arrivalHandled();
}

void CallClient::handleLine(const QString& text)
{
    // Elements count first to last: an "Icon" before a faulty element stays
    // the current icon, though the faulty line gives no row.
    std::optional<qint16> iconSoFar;
    NotificationLine line;
    try {
        line = NotificationLine::parse(text, &iconSoFar);
    } catch (...) {
        if (iconSoFar)
            m_currentIcon = *iconSoFar;
        throw;
    }
    if (line.icon)
        m_currentIcon = *line.icon;
    // Each line is a call of its own: fields it does not name are empty.
    Call call = m_fields.emptyCall();
    call.icon = m_currentIcon;
    for (const auto& element : line.fields) {
        const int i = m_fields.indexOf(element.key);
        if (i >= 0)
            call.values[i] = element.value;
    }
    m_lineText = line.text();
    guarded(m_reporter, QStringLiteral("ListView1DatenAdd"),
            [&] { ListView1DatenAdd(m_model, m_fields, call, m_iconCount); });
}

// --- list and menus ----------------------------------------------------------

void CallClient::mnuLeeren_Click()
{
    guarded(m_reporter, QStringLiteral("mnuLeeren_Click"), [&] { m_model.clear(); });
}

void CallClient::mnuImmerImVordergrund_Click()
{
    m_foreground.mnuImmerImVordergrund_Click();
}

void CallClient::mnuBeiAnrufInVordergrund_Click()
{
    m_foreground.mnuBeiAnrufInVordergrund_Click();
}

void CallClient::ListView1_ItemClick(int row)
{
    guarded(m_reporter, QStringLiteral("ListView1_ItemClick"), [&] {
        if (row < 0 || row >= m_model.rowCount())
            throw VbError::subscriptOutOfRange();
        setTxtOutput(m_model.rowCells(row).join(QStringLiteral(", ")));
    });
}

QString CallClient::doubleClickValue(int row) const
{
    if (row < 0 || row >= m_model.rowCount() || m_settings.Field.isEmpty())
        return {};
    const int column = m_model.columnIndex(m_settings.Field);
    if (column < 0)
        return {};
    return m_model.cell(row, column);
}

void CallClient::ListView1_DblClick(int row)
{
    const QString value = doubleClickValue(row);
    if (!value.isEmpty())
        m_extern.ExternProgrammStarten(value, m_desktop);
}

} // namespace vorsa

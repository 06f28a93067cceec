#include "callclient.h"

#include "iconlist.h"
#include "net/socketerror.h"
#include "notificationline.h"
#include "reporter.h"
#include "win1252.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QTimer>

namespace vorsa {

namespace {
// How long closing waits for the server to take the connection down.
constexpr int kCloseWaitMs = 2000;
// From this many lines in one turn the list is filled in one go.
constexpr qsizetype kBulkLines = 64;
// What the socket takes from the system at a time: a long replay then comes in
// moderate pieces, each quick to copy.
constexpr qint64 kReadBufferBytes = 256 * 1024;

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
    connect(&m_socket, &QTcpSocket::connected, this, &CallClient::Winsock1_Connect);
    connect(&m_socket, &QTcpSocket::readyRead, this, &CallClient::Winsock1_DataArrival);
    connect(&m_socket, &QTcpSocket::disconnected, this, &CallClient::Winsock1_Close);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &CallClient::Winsock1_Error);
    connect(&m_foreground, &Foreground::optionsChanged, this, &CallClient::menusChanged);
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
        emit menusChanged(); // the check marks follow the options just read
        m_fields.EinlesenDatenfelder(m_settings.gstrINIFile, m_reporter);
        m_iconCount = EinlesenIcons(m_settings.gstrINIFile, m_programDir, m_icons, m_reporter);
        m_settings.EinlesenExternProgramm(m_reporter);
        m_extern = ExternProgram(m_settings.Path);
        ListView1Aufbauen();
        m_foreground.VordergrundSetzen(m_settings.Topmost);
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

void CallClient::mnuVerbinden_Click()
{
    guarded(m_reporter, QStringLiteral("mnuVerbinden_Click"), [&] {
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
        m_socket.connectToHost(m_settings.RemoteHost, quint16(m_settings.RemotePort));
    });
}

void CallClient::Winsock1_Connect()
{
    guarded(m_reporter, QStringLiteral("Winsock1_Connect"), [&] {
        setMenus(false, true);
        send(QStringLiteral("HN:") + m_localHostName);
        emit connected();
    });
}

void CallClient::Winsock1_Close()
{
    if (m_unloading)
        return;
    // What the server sent before closing is still handled.
    if (m_socket.bytesAvailable() > 0)
        Winsock1_DataArrival();
    ignoringErrors([&] { m_socket.abort(); });
    setMenus(true, true);
}

void CallClient::Winsock1_Error(QAbstractSocket::SocketError error)
{
    // A close by the server arrives as this error too; the closed event handles it.
    if (error == QAbstractSocket::RemoteHostClosedError || m_unloading)
        return;
    guarded(m_reporter, QStringLiteral("Winsock1_Error"), [&] {
        const SocketError e = SocketError::from(error);
        m_socketFailed = true;
        m_reporter.message(errorText(QStringLiteral("Verbinden Vorsamelder"), e.description),
                           errorTitle(e.number), MessageIcon::Warning);
        // Closed from the event loop: the socket may still be inside its own error handling.
        QTimer::singleShot(0, this, [this] {
            if (m_socketFailed && m_socket.state() != QAbstractSocket::ConnectedState)
                m_socket.abort();
        });
    });
}

void CallClient::send(const QString& text)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        throw notConnected();
    if (m_socket.write(toWin1252(text)) < 0)
        throw VbError(err::SocketError, QStringLiteral("Senden fehlgeschlagen"));
}

void CallClient::mnuHeute_Click()
{
    guarded(m_reporter, QStringLiteral("mnuHeute_Click"), [&] {
        m_model.clear();
        // The date as the server writes it in the journal.
        send(QStringLiteral("*D*:") + m_clock().date().toString(QStringLiteral("dd.MM.yyyy")));
    });
}

void CallClient::mnuAlles_Click()
{
    guarded(m_reporter, QStringLiteral("mnuAlles_Click"), [&] {
        m_model.clear();
        send(QStringLiteral("*D*:"));
    });
}

// --- received lines ----------------------------------------------------------

void CallClient::Winsock1_DataArrival()
{
    if (m_unloading)
        return;
    const bool ok = guarded(m_reporter, QStringLiteral("Winsock1_DataArrival"), [&] {
        m_buffer.append(m_socket.readAll());
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
    const bool ok = guarded(m_reporter, QStringLiteral("Winsock1_DataArrival"), [&] {
        const qsizetype lines = qMin<qsizetype>(m_buffer.pendingLines(), m_sliceLines);
        const bool bulk = lines >= kBulkLines;
        if (bulk)
            m_model.beginBulk();
        try {
            QString line;
            for (qsizetype i = 0; i < lines && m_buffer.takeLine(line); ++i)
                handleLine(line);
        } catch (...) {
            if (bulk)
                m_model.endBulk();
            throw;
        }
        if (bulk)
            m_model.endBulk();
    });
    if (!ok)
        return; // the faulty line is lost; the rest waits for the next arrival
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
    m_fields.clearValues();
    if (line.icon)
        m_currentIcon = *line.icon;
    for (const auto& element : line.fields) {
        if (clsDaten* d = m_fields.find(element.key))
            d->FieldValue = element.value;
    }
    m_lineText = line.text();
    guarded(m_reporter, QStringLiteral("ListView1DatenAdd"),
            [&] { ListView1DatenAdd(m_model, m_fields, m_currentIcon, m_iconCount); });
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

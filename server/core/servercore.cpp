#include "servercore.h"

#include "convert.h"
#include "desktop.h"
#include "iconlist.h"
#include "index/indexwriter.h"
#include "ini.h"
#include "journalreload.h"
#include "logging.h"
#include "net/tls.h"
#include "reporter.h"
#include "vberror.h"
#include "version.h"
#include "wire/journal.h"
#include "wire/notification.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <limits>

namespace vorsa {

namespace {
const QString kSettings = QStringLiteral("Settings");
// The sample number the test call offers when nothing was entered before.
const QString kSampleCallingNumber = QStringLiteral("0521123456");
// How long a call waits for a database that another program holds locked
// before it goes out as not identified.
constexpr int kCallLockWaitMs = 2000;
constexpr int kCallSqliteCacheKb = 256;
// Settings/SecDbConnect when missing or not usable.
constexpr int kDefaultSecDbConnect = 3;
// The newest lines the diagnostic list keeps (refused clients add to it).
constexpr qsizetype kDebugListLines = 500;

// A number setting as text to a number; a failure names the key and the value.
qint32 numberSetting(const QString& key, const QString& text)
{
    try {
        return toLong(text);
    } catch (const VbError& e) {
        throw VbError(e.number(), QStringLiteral("%1 (%2 \"%3\")").arg(e.description(), key, text));
    }
}

// A non-negative number setting; a negative one fails with 380.
qint32 countSetting(const QString& key, const QString& text)
{
    const qint32 n = numberSetting(key, text);
    if (n < 0)
        throw VbError(err::InvalidPropertyValue,
                      QStringLiteral("Ungültiger Eigenschaftswert (%1 %2)").arg(key).arg(n));
    return n;
}

QString resultText(const CallResult& result)
{
    QString text;
    switch (result.kind) {
    case CallResult::Kind::Repeat:
        return QStringLiteral("Wiederholung im Sperrfenster, nicht gemeldet");
    case CallResult::Kind::Hidden:
        text = QStringLiteral("Rufnummer unterdrückt, als \"Amt\" gemeldet");
        break;
    case CallResult::Kind::NotANumber:
        text = QStringLiteral("keine Rufnummer, nicht erkannt");
        break;
    case CallResult::Kind::NoDatabase:
        text = result.lookupFailure.isEmpty()
                   ? QStringLiteral("Datenbank nicht erreichbar, nicht erkannt")
                   : QStringLiteral("nicht erkannt");
        break;
    case CallResult::Kind::NotFound:
        text = QStringLiteral("nicht erkannt");
        break;
    case CallResult::Kind::Identified:
        text = result.records == 1 ? QStringLiteral("erkannt")
                                   : QStringLiteral("%1 Datensätze gefunden").arg(result.records);
        break;
    }
    if (result.failed)
        text += QStringLiteral(", Fehler (%1 von %2 Meldungen gesendet)")
                    .arg(result.reported)
                    .arg(qMax(result.reported, result.records));
    if (!result.lookupFailure.isEmpty())
        text = QStringLiteral("Suche fehlgeschlagen (%1), ").arg(result.lookupFailure) + text;
    return text;
}

} // namespace

ServerCore::ServerCore(Environment environment, QObject* parent)
    : QObject(parent), m_env(std::move(environment)), m_queries(*m_env.reporter),
      m_clients(m_log, *m_env.reporter),
      m_booking(*m_env.reporter, m_env.clock ? m_env.clock : systemClock()),
      m_callPath(*m_env.reporter, m_settings, m_fields, m_queries, m_booking, m_autobooking,
                 m_connection)
{
    if (!m_env.clock)
        m_env.clock = systemClock();
    if (!m_env.lineFactory)
        m_env.lineFactory = createBuiltinLine;
    m_settings.iniPath = m_env.programDir + QStringLiteral("/VorsaSrv.INI");
    m_connection.setLockWaitMs(kCallLockWaitMs);
    // The connection stays open for the life of the server: its cache of the
    // database's pages is kept small (the inner pages of the index fit; the
    // rest comes from the system's file cache), so the server's memory stays
    // flat however many callers it looks up.
    m_connection.setSqliteCacheKb(kCallSqliteCacheKb);
    m_timer1.setTimerType(Qt::CoarseTimer);
    connect(&m_timer1, &QTimer::timeout, this, &ServerCore::restartTick);
    connect(&m_clients, &ClientHub::connectionsChanged, this, &ServerCore::connectionsChanged);
    connect(&m_clients, &ClientHub::clientRefused, this, [this](const QString& text) {
        addDebug(m_env.clock().toString(QStringLiteral("HH:mm:ss ")) + text);
    });
}

ServerCore::~ServerCore() = default;

QString ServerCore::connectionString() const
{
    return QStringLiteral("File Name=") + m_env.programDir + QStringLiteral("/udlVorsa.UDL");
}

void ServerCore::setCapiInfo(const QString& text)
{
    if (text != m_capiInfo)
        qCInfo(lcLine).noquote() << "Leitung:" << text;
    m_capiInfo = text;
    emit capiInfoChanged(text);
}

void ServerCore::addDebug(const QString& line)
{
    m_debugList.append(line);
    if (m_debugList.size() > kDebugListLines)
        m_debugList.remove(0, m_debugList.size() - kDebugListLines);
    emit debugListChanged(m_debugList);
}

void ServerCore::WriteLog(const QString& line)
{
    guarded(*m_env.reporter, QStringLiteral("WriteLog"), [&] { m_log.WriteLog(line); });
}

// ---------------------------------------------------------------- start-up

void ServerCore::Form_Load()
{
    guarded(*m_env.reporter, QStringLiteral("Form_Load"), [&] {
        addDebug(versionText());
        m_connection.setCursorLocation(db::adUseClient);
        EinlesenParameterAllgemein();
        m_autobooking = EinlesenAutobooking(m_settings.iniPath);
        m_fields.EinlesenDatenfelder(m_settings.iniPath, *m_env.reporter);
        FileIconList fallbackIcons;
        m_iconCount = EinlesenIcons(
            m_settings.iniPath, m_env.programDir,
            m_env.icons ? *m_env.icons : static_cast<IIconList&>(fallbackIcons), *m_env.reporter);
        m_queries.EinlesenDatenbank(m_settings.iniPath, m_settings.letzteStellenAbschneiden);
        guarded(*m_env.reporter, QStringLiteral("ListView1Aufbauen"), [&] {
            QList<CallListModel::Column> columns;
            for (const auto& d : m_fields) {
                if (d.ColumnVisible)
                    columns.append({d.FieldName, d.ColumnHeader, d.ColumnWidth});
            }
            m_callList.setColumns(columns);
            m_callList.setMaxRows(m_settings.maxListenZeilen);
        });
        const QString app = m_settings.application.toUpper();
        m_stammdatenVisible = app == QLatin1String("KUNDEN") || app == QLatin1String("DROVO");
        emit stammdatenVisibleChanged(m_stammdatenVisible);
        // Port 0 means the settings were not read to their end (already
        // reported); it is never listened on.
        const int port = m_settings.localPort;
        if (port < 0 || port > 65535)
            throw VbError(err::InvalidPropertyValue,
                          QStringLiteral("Ungültiger Eigenschaftswert (LocalPort %1)").arg(port));
        // Who may connect could not be read as set: better no client than
        // any client (already reported).
        if (port != 0 && m_accessProblem.isEmpty())
            m_clients.listen(quint16(port));
        // A new number index that a killed build left beside the index
        // takes no room until the next build.
        if (IndexWriter::dropLeftovers(connectionString()))
            qCInfo(lcServer) << "Telefonnummernindex: die Reste eines abgebrochenen Aufbaus "
                                "wurden entfernt";
        StartUp();
        // No 65-second limit: any restart interval works; intervals longer
        // than a timer takes are counted out in ticks of a day.
        if (m_settings.secCapiConnection < 0)
            throw VbError(err::InvalidPropertyValue,
                          QStringLiteral("Ungültiger Eigenschaftswert (SecCapiConnection %1)")
                              .arg(m_settings.secCapiConnection));
        if (m_settings.secCapiConnection != 0)
            startRestartTimer();
        else
            m_timer1.stop();
    });
    // Who may connect, when anyone can.
    QString access;
    if (m_clients.isListening()) {
        if (!m_settings.listenAddress.isEmpty())
            access += QStringLiteral(", Adresse ") + m_settings.listenAddress;
        if (!m_clients.access().allowed.admitsEveryone())
            access += QStringLiteral(", erlaubte Clients %1").arg(m_settings.erlaubteClients);
        if (m_clients.access().tls)
            access += m_settings.tlsClientZertifikate.isEmpty()
                          ? QStringLiteral(", nur TLS")
                          : QStringLiteral(", nur TLS mit Client-Zertifikat");
    }
    qCInfo(lcServer).noquote() << QStringLiteral("Server gestartet (%1): Ordner %2, TCP-Port %3, "
                                                 "Leitung %4%5")
                                      .arg(versionText(), m_env.programDir)
                                      .arg(m_clients.isListening() ? m_clients.serverPort() : 0)
                                      .arg(m_settings.line.isEmpty() ? QStringLiteral("SIM")
                                                                     : m_settings.line)
                                      .arg(access);
}

QString ServerCore::readWithMarker(const QString& key, const QString& readDefault,
                                   const QString& marker, const QString& effective)
{
    const QString value = IniLesen(kSettings, key, m_settings.iniPath, readDefault);
    if (value != marker)
        return value;
    IniSchreiben(kSettings, key, m_settings.iniPath, effective);
    return effective;
}

void ServerCore::EinlesenParameterAllgemein()
{
    guarded(*m_env.reporter, QStringLiteral("EinlesenParameterAllgemein"), [&] {
        auto& s = m_settings;
        s.iniPath = m_env.programDir + QStringLiteral("/VorsaSrv.INI");
        s.user = IniLesen(kSettings, QStringLiteral("User"), s.iniPath, {});
        s.application = IniLesen(kSettings, QStringLiteral("Application"), s.iniPath, {});
        s.logFile = readWithMarker(QStringLiteral("LogFile"), {}, {},
                                   m_env.programDir + QStringLiteral("/VorsaSvr.log"));
        m_log.setPath(s.logFile);
        s.amt = readWithMarker(QStringLiteral("Amt"), QStringLiteral("?"), QStringLiteral("?"), {});
        s.eigeneVorwahl =
            readWithMarker(QStringLiteral("EigeneVorwahl"), {}, {}, QStringLiteral("09876"));
        // The text keeps its previous value when it is not a number, so the
        // lookup queries are not built on it.
        const QString cutText =
            readWithMarker(QStringLiteral("LetzteStellenAbschneiden"), QStringLiteral("999"),
                           QStringLiteral("999"), QStringLiteral("3"));
        numberSetting(QStringLiteral("LetzteStellenAbschneiden"), cutText);
        s.letzteStellenAbschneiden = cutText;
        s.secCapiConnection =
            numberSetting(QStringLiteral("SecCapiConnection"),
                          readWithMarker(QStringLiteral("SecCapiConnection"), QStringLiteral("999"),
                                         QStringLiteral("999"), QStringLiteral("60")));
        s.dateDiffSec =
            numberSetting(QStringLiteral("DateDiffSec"),
                          readWithMarker(QStringLiteral("DateDiffSec"), QStringLiteral("999"),
                                         QStringLiteral("999"), QStringLiteral("30")));
        s.computerName = m_clients.localHostName();
        m_label5 = s.computerName.isEmpty() ? QStringLiteral("Computername: **unbekannt**")
                                            : QStringLiteral("Computername: ") + s.computerName;
        emit labelsChanged();
        int port = numberSetting(
            QStringLiteral("LocalPort"),
            IniLesen(kSettings, QStringLiteral("LocalPort"), s.iniPath, QStringLiteral("0")));
        if (port == 0) {
            port = 1001;
            IniSchreiben(kSettings, QStringLiteral("LocalPort"), s.iniPath, QStringLiteral("1001"));
        }
        s.localPort = port;
        m_label6 = QStringLiteral("LocalPort: ") + QString::number(port);
        emit labelsChanged();
        const int mark = numberSetting(QStringLiteral("BeiDoppelFragezeichen"),
                                       IniLesen(kSettings, QStringLiteral("BeiDoppelFragezeichen"),
                                                s.iniPath, QStringLiteral("9")));
        if (mark == 0) {
            s.beiDoppelFragezeichen = false;
        } else {
            s.beiDoppelFragezeichen = true;
            if (mark != 1)
                IniSchreiben(kSettings, QStringLiteral("BeiDoppelFragezeichen"), s.iniPath,
                             QStringLiteral("1"));
        }
        s.platzhalter = readWithMarker(QStringLiteral("Platzhalter"), QStringLiteral("#//#"),
                                       QStringLiteral("#//#"), QStringLiteral("%"));
        s.line = readWithMarker(QStringLiteral("Line"), {}, {}, QStringLiteral("SIM")).trimmed();
        // Keys that came later than the others: a bad value keeps its default
        // and leaves the rest of the settings read.
        guarded(*m_env.reporter, QStringLiteral("EinlesenParameterAllgemein"), [&] {
            s.maxListenZeilen = countSetting(
                QStringLiteral("MaxListenZeilen"),
                readWithMarker(QStringLiteral("MaxListenZeilen"), QStringLiteral("#//#"),
                               QStringLiteral("#//#"), QStringLiteral("10000")));
        });
        guarded(*m_env.reporter, QStringLiteral("EinlesenParameterAllgemein"), [&] {
            // A wait of no time would be no wait at all for the database
            // library (it then waits for ever): it must be a second or more.
            const QString text =
                readWithMarker(QStringLiteral("SecDbConnect"), QStringLiteral("#//#"),
                               QStringLiteral("#//#"), QString::number(kDefaultSecDbConnect));
            const qint32 seconds = numberSetting(QStringLiteral("SecDbConnect"), text);
            if (seconds < 1)
                throw VbError(err::InvalidPropertyValue,
                              QStringLiteral("Ungültiger Eigenschaftswert (SecDbConnect %1), es "
                                             "gilt %2")
                                  .arg(seconds)
                                  .arg(kDefaultSecDbConnect));
            s.secDbConnect = seconds;
        });
    });
    // Also when the settings were not read to their end (then the default):
    // how long opening the database and each of its statements may take.
    m_connection.setConnectTimeoutSec(m_settings.secDbConnect);
    m_connection.setStatementTimeoutMs(
        int(qMin<qint64>(qint64(m_settings.secDbConnect) * 1000, std::numeric_limits<int>::max())));
    readClientAccess();
}

void ServerCore::readClientAccess()
{
    auto& s = m_settings;
    IReporter& reporter = *m_env.reporter;
    const QString procedure = QStringLiteral("EinlesenParameterAllgemein");
    const QString marker = QStringLiteral("#//#");
    const auto read = [&](const char* key, const QString& effective) {
        return readWithMarker(QString::fromLatin1(key), marker, marker, effective);
    };
    ClientAccess access;
    m_accessProblem.clear();
    const auto keep = [&](const QString& key) {
        if (m_accessProblem.isEmpty())
            m_accessProblem = key;
    };

    const bool addressRead = guarded(reporter, procedure, [&] {
        s.listenAddress = read("ListenAddress", {}).trimmed();
        if (!s.listenAddress.isEmpty() && !parseAddress(s.listenAddress, &access.listenAddress))
            throw VbError(err::InvalidPropertyValue,
                          QStringLiteral("Ungültiger Eigenschaftswert (ListenAddress \"%1\"): "
                                         "keine IP-Adresse dieses Rechners")
                              .arg(s.listenAddress));
    });
    if (!addressRead)
        keep(QStringLiteral("ListenAddress"));

    // A malformed entry is reported and admits no one; a list that could
    // not be read at all keeps the server from listening.
    bool listRead = false;
    guarded(reporter, procedure, [&] {
        s.erlaubteClients = read("ErlaubteClients", {});
        QStringList malformed;
        access.allowed = AllowList::parse(s.erlaubteClients, &malformed);
        listRead = true;
        if (malformed.isEmpty())
            return;
        QString text = malformed.size() == 1
                           ? QStringLiteral("Ungültiger Eintrag in ErlaubteClients: \"%1\"")
                           : QStringLiteral("Ungültige Einträge in ErlaubteClients: \"%1\"");
        text = text.arg(malformed.join(QStringLiteral("\", \""))) +
               QStringLiteral(" (erlaubt sind Adressen und Netze wie 192.168.1.20, "
                              "192.168.1.0/24 oder fd00::/8).");
        if (access.allowed.size() == 0)
            text += QStringLiteral(" Es wird kein Client angenommen.");
        throw VbError(err::InvalidPropertyValue, text);
    });
    if (!listRead)
        keep(QStringLiteral("ErlaubteClients"));

    const bool tlsRead = guarded(reporter, procedure, [&] {
        const QString on = read("TLS", QStringLiteral("0")).trimmed();
        s.tlsZertifikat = read("TLSZertifikat", {});
        s.tlsSchluessel = read("TLSSchluessel", {});
        s.tlsClientZertifikate = read("TLSClientZertifikate", {});
        if (on != QLatin1String("0") && on != QLatin1String("1") && !on.isEmpty())
            throw VbError(err::InvalidPropertyValue,
                          QStringLiteral("Ungültiger Eigenschaftswert (TLS \"%1\"): 0 schaltet TLS "
                                         "aus, 1 ein")
                              .arg(on));
        s.tls = on == QLatin1String("1");
        const auto file = [&](const char* key, const QString& value) {
            return tls::PemFile{QString::fromLatin1(key),
                                tls::settingPath(m_env.programDir, value)};
        };
        const tls::PemFile clientCa = file("TLSClientZertifikate", s.tlsClientZertifikate);
        if (!s.tls) {
            if (clientCa.isSet())
                throw VbError(err::InvalidPropertyValue,
                              QStringLiteral("TLSClientZertifikate verlangt TLS=1: ohne TLS kann "
                                             "der Server kein Client-Zertifikat prüfen."));
            return;
        }
        const tls::PemFile key = file("TLSSchluessel", s.tlsSchluessel);
        access.tls =
            tls::serverConfiguration(file("TLSZertifikat", s.tlsZertifikat), key, clientCa);
        // Said, not refused: anyone on this machine could read the key.
        if (QFileInfo(key.path).permissions() & QFileDevice::ReadOther) {
            const QString text =
                QStringLiteral("Der Schlüssel TLSSchluessel \"%1\" ist für alle Benutzer dieses "
                               "Rechners lesbar (chmod 600 setzen).")
                    .arg(QDir::toNativeSeparators(key.path));
            qCWarning(lcServer).noquote() << text;
            addDebug(text);
        }
        // Said, not refused: the administrator may be renewing it.
        const QDateTime expiry = access.tls->localCertificate().expiryDate();
        if (expiry < QDateTime::currentDateTimeUtc())
            reporter.reportError(
                procedure, err::InvalidPropertyValue,
                QStringLiteral("Das Zertifikat des Servers (TLSZertifikat) ist "
                               "am %1 abgelaufen; die Clients nehmen es nicht "
                               "an.")
                    .arg(expiry.toLocalTime().toString(QStringLiteral("dd.MM.yyyy"))));
    });
    if (!tlsRead)
        keep(QStringLiteral("TLS"));
    m_clients.setAccess(std::move(access));
}

void ServerCore::ensureLine()
{
    if (m_line)
        return;
    LineContext context{m_settings.iniPath, m_env.programDir, m_env.reporter};
    const QString name = m_settings.line.isEmpty() ? QStringLiteral("SIM") : m_settings.line;
    // Said once: a line that is unknown or cannot be made (its module is
    // missing, say) then fails at every restart without a word more.
    try {
        m_line = m_env.lineFactory(name, context);
        if (!m_line)
            m_env.reporter->reportError(
                QStringLiteral("StartUp"), err::InvalidPropertyValue,
                QStringLiteral("Die Leitung \"%1\" (Settings/Line) gibt es in diesem Programm "
                               "nicht; bekannt sind SIM, SIP, CALLMONITOR und CAPI.")
                    .arg(name));
    } catch (const VbError& e) {
        m_line.reset();
        m_env.reporter->reportError(QStringLiteral("StartUp"), e);
    }
    if (!m_line) {
        m_line = std::make_unique<NullLine>();
        m_noLine = true;
    }
    connect(m_line.get(), &IPhoneLine::IncomingCall, this, &ServerCore::ISDNPhone_IncomingCall);
    connect(m_line.get(), &IPhoneLine::IncomingPhoneCall, this,
            &ServerCore::ISDNPhone_IncomingPhoneCall);
    // A line that connects, registers or drops in the background: CapiInfo
    // follows at once, not only at the next restart tick.
    connect(m_line.get(), &IPhoneLine::StatusChanged, this, [this] {
        if (m_line && !m_unloaded)
            setCapiInfo(lineStatusText(m_line->lineUp()));
    });
}

QString ServerCore::lineStatusText(bool started) const
{
    if (!started || !m_line)
        return QStringLiteral("startCAPI()=False - failed");
    return QStringLiteral("startCAPI()=True  CAPI ") + m_line->capiVersion() +
           QStringLiteral(" release ") + m_line->capiRelease() + QStringLiteral(". Card made by ") +
           m_line->cardMaker() + QStringLiteral(" has serial number ") + m_line->serialNumber();
}

QString ServerCore::startupProblem() const
{
    if (!m_clients.isListening())
        return QStringLiteral("Der Server lauscht auf keinem TCP-Port (Settings/%1), kein "
                              "Client kann sich verbinden.")
            .arg(m_accessProblem.isEmpty() ? QStringLiteral("LocalPort") : m_accessProblem);
    if (!m_line || m_noLine)
        return QStringLiteral("Der Server hat keine Leitung (Settings/Line), es kommen keine "
                              "Anrufe an.");
    return {};
}

void ServerCore::StartUp()
{
    guarded(*m_env.reporter, QStringLiteral("StartUp"), [&] {
        ensureLine();
        m_line->setStartupSwitches(true, true);
        const bool started = m_line->startCAPI();
        const QString status = lineStatusText(started);
        setCapiInfo(status);
        const QString dtmf =
            QStringLiteral("DTMF :") +
            (m_line->dtmfSupport(1) >= 1 ? QStringLiteral(" yes") : QStringLiteral(" no"));
        addDebug(dtmf);
        const QString blank = QStringLiteral("   ");
        const QString rule(52, QLatin1Char('-'));
        const QDateTime now = m_env.clock();
        WriteLog(blank);
        WriteLog(blank);
        WriteLog(rule);
        WriteLog(QStringLiteral(" Orvo-Software Start Server, ") +
                 now.toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char(' ') +
                 now.toString(QStringLiteral("HH:mm:ss")));
        WriteLog(rule);
        WriteLog(blank);
        WriteLog(status);
        WriteLog(dtmf);
    });
}

void ServerCore::Timer1_Timer()
{
    guarded(*m_env.reporter, QStringLiteral("Timer1_Timer"), [&] {
        ensureLine();
        m_line->stopCAPI();
        QCoreApplication::processEvents();
        if (!m_line || m_unloaded) // the server may have shut down meanwhile
            return;
        const bool started = m_line->startCAPI();
        if (!started) {
            for (int i = 0; i < 4; ++i)
                m_env.desktop->beep();
        }
        setCapiInfo(lineStatusText(started));
    });
}

void ServerCore::stopRestartTimer()
{
    m_timer1.stop();
}

void ServerCore::startRestartTimer()
{
    // The interval 0 switches the restart off for good.
    if (restartIntervalMs() <= 0 || m_unloaded)
        return;
    m_restartRemainingMs = restartIntervalMs();
    nextRestartTick();
    m_timer1.start();
}

void ServerCore::nextRestartTick()
{
    m_timer1.setInterval(std::chrono::milliseconds(qMin(m_restartRemainingMs, kLongestTickMs)));
}

void ServerCore::restartTick()
{
    m_restartRemainingMs -= m_timer1.interval();
    if (m_restartRemainingMs <= 0) {
        m_restartRemainingMs = restartIntervalMs();
        Timer1_Timer();
    }
    nextRestartTick();
}

// ---------------------------------------------------------------- calls

void ServerCore::reportCall(const Call& call)
{
    ++m_reportedCalls;
    m_lastShown = call;
    if (m_env.listRows)
        guarded(*m_env.reporter, QStringLiteral("ListView1DatenAdd"),
                [&] { ListView1DatenAdd(m_callList, m_fields, call, m_iconCount); });
    ClientsNachrichtVerfassen(call);
}

void ServerCore::ISDNPhone_IncomingCall(const QString& called, const QString& calling,
                                        const QString& extra)
{
    // One call at a time: a call that arrives while a message box of another
    // runs its event loop waits and is handled right after it. So calls reach
    // the clients and the journal in the order they came, and the lookup
    // queries, which hold the rows of their last search, serve one call at a
    // time.
    if (m_handlingCall) {
        m_waitingCalls.append({called, calling, extra});
        return;
    }
    m_handlingCall = true;
    handleIncomingCall(called, calling, extra);
    while (!m_waitingCalls.isEmpty() && !m_unloaded) {
        const WaitingCall next = m_waitingCalls.takeFirst();
        handleIncomingCall(next.called, next.calling, next.extra);
    }
    m_waitingCalls.clear();
    m_handlingCall = false;
}

void ServerCore::handleIncomingCall(const QString& called, const QString& calling,
                                    const QString& extra)
{
    Q_UNUSED(extra);
    const CallResult result = m_callPath.handle(called, calling, m_env.clock(), connectionString(),
                                                [this](const Call& call) { reportCall(call); });
    // One line per call; a lookup that failed makes it a warning, so that
    // it is seen also where the calls themselves are not logged.
    const auto line = [&] {
        return QStringLiteral("Anruf von %1 an %2: %3")
            .arg(calling, called.isEmpty() ? QStringLiteral("-") : called, resultText(result));
    };
    if (!result.lookupFailure.isEmpty())
        qCWarning(lcCalls).noquote() << line();
    else if (lcCalls().isInfoEnabled())
        qCInfo(lcCalls).noquote() << line();
}

void ServerCore::ISDNPhone_IncomingPhoneCall(const QString&, const QString&)
{
    guarded(*m_env.reporter, QStringLiteral("ISDNPhone_IncomingPhoneCall"), [&] {
        if (m_line)
            m_line->setCallSwitches(false, false);
    });
}

void ServerCore::ClientsNachrichtVerfassen(const Call& call)
{
    guarded(*m_env.reporter, QStringLiteral("ClientsNachrichtVerfassen"), [&] {
        const QString line = composeNotification(call, m_fields);
        m_clients.ClientsNachrichtSenden(line);
        WriteLog(journal::entry(line));
    });
}

void ServerCore::mnuTest_Click()
{
    guarded(*m_env.reporter, QStringLiteral("mnuTest_Click"), [&] {
        if (m_testCalled.isEmpty())
            m_testCalled = m_autobooking.msn;
        if (m_testCalling.isEmpty())
            m_testCalling = kSampleCallingNumber;
        m_testCalled = m_env.desktop->inputBox(QStringLiteral("MSN"), QStringLiteral("CallingNr"),
                                               m_testCalled);
        m_testCalling = m_env.desktop->inputBox(QStringLiteral("TelefonNr:"),
                                                QStringLiteral("CallingNr"), m_testCalling);
        if (!m_testCalling.isEmpty())
            ISDNPhone_IncomingCall(m_testCalled, m_testCalling, QString());
    });
}

// ---------------------------------------------------------------- journal

void ServerCore::LogDateiEinlesenUndAnzeigen(const QString& filter)
{
    const quint64 reload = ++m_reloads;
    // Events run while the journal is read: this reload ends without a word
    // when the server closes or a newer reload was asked for meanwhile.
    const JournalReload::Superseded superseded = [&] { return m_unloaded || reload != m_reloads; };
    guarded(*m_env.reporter, QStringLiteral("LogDateiEinlesenUndAnzeigen"), [&] {
        m_callList.clear();
        const quint64 callsBefore = m_reportedCalls;
        const JournalReload journal(m_log, m_fields, *m_env.reporter);
        const std::optional<QStringList> entries =
            journal.entries(filter, m_settings.maxListenZeilen, superseded);
        if (!entries)
            return;
        Call state =
            m_lastShown.values.size() == m_fields.size() ? m_lastShown : m_fields.emptyCall();
        std::optional<std::vector<CallListModel::Row>> rows =
            journal.rows(*entries, state, m_callList, m_iconCount, superseded);
        if (!rows)
            return;
        m_callList.addOlderRows(std::move(*rows));
        // The reloaded values are the last shown unless a call came meanwhile.
        if (m_reportedCalls == callsBefore)
            m_lastShown = state;
    });
}

void ServerCore::EigeneDatenAnzeigen(const QString& text)
{
    if (m_lastShown.values.size() != m_fields.size())
        m_lastShown = m_fields.emptyCall();
    std::vector<CallListModel::Row> rows;
    JournalReload(m_log, m_fields, *m_env.reporter)
        .appendRows(text, m_lastShown, m_callList, m_iconCount, rows);
    for (auto& row : rows)
        m_callList.addRow(std::move(row));
}

void ServerCore::mnuHeute_Click()
{
    guarded(*m_env.reporter, QStringLiteral("mnuHeute_Click"), [&] {
        LogDateiEinlesenUndAnzeigen(m_env.clock().date().toString(QStringLiteral("dd.MM.yyyy")));
    });
}

void ServerCore::mnuAlles_Click()
{
    guarded(*m_env.reporter, QStringLiteral("mnuAlles_Click"),
            [&] { LogDateiEinlesenUndAnzeigen(QString()); });
}

// ---------------------------------------------------------------- shutdown

void ServerCore::Form_Unload()
{
    Form_Unload(m_fields.configuredColumns());
}

void ServerCore::Form_Unload(const QList<FieldDefinitions::Column>& columns)
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    guarded(*m_env.reporter, QStringLiteral("Form_Unload"), [&] {
        QCoreApplication::processEvents();
        m_timer1.stop();
        m_fields.writeBack(m_settings.iniPath, columns);
        m_fields.clear();
        m_queries.clear();
        m_callPath.clearRecentCallers();
        if (m_connection.isOpen())
            m_connection.close();
        WriteLog(QStringLiteral("stopCAPI"));
        if (m_line)
            m_line->stopCAPI();
        m_clients.closeAll();
    });
    qCInfo(lcServer) << "Server beendet";
}

} // namespace vorsa

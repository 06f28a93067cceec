#include "servercore.h"

#include "convert.h"
#include "desktop.h"
#include "iconlist.h"
#include "ini.h"
#include "lookup/callingnumber.h"
#include "notification.h"
#include "reporter.h"
#include "vberror.h"
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <limits>

namespace vorsa {

namespace {
const QString kSettings = QStringLiteral("Settings");
// The sample number the test call offers when nothing was entered before.
const QString kSampleCallingNumber = QStringLiteral("0521123456");
const QString kHidden = QStringLiteral("(hidden)");
const QString kNotFound = QStringLiteral("***");
// How long a call waits for a database that another program holds locked
// before it goes out as not identified.
constexpr int kCallLockWaitMs = 2000;

// A number setting as text to a number; a failure names the key and the value.
qint32 numberSetting(const QString& key, const QString& text)
{
    try {
        return toLong(text);
    } catch (const VbError& e) {
        throw VbError(e.number(), QStringLiteral("%1 (%2 \"%3\")").arg(e.description(), key, text));
    }
}

// Whole seconds from a to b, counted as second boundaries crossed.
qint64 wholeSecondsBetween(const QDateTime& a, const QDateTime& b)
{
    return a.toSecsSinceEpoch() <= b.toSecsSinceEpoch()
               ? b.toSecsSinceEpoch() - a.toSecsSinceEpoch()
               : -(a.toSecsSinceEpoch() - b.toSecsSinceEpoch());
}
} // namespace

ServerCore::ServerCore(Environment environment, QObject* parent)
    : QObject(parent), m_env(std::move(environment)), m_queries(*m_env.reporter),
      m_clients(m_log, *m_env.reporter),
      m_booking(*m_env.reporter, m_env.clock ? m_env.clock : systemClock())
{
    if (!m_env.clock)
        m_env.clock = systemClock();
    if (!m_env.lineFactory)
        m_env.lineFactory = createBuiltinLine;
    m_settings.iniPath = m_env.programDir + QStringLiteral("/VorsaSrv.INI");
    m_connection.setLockWaitMs(kCallLockWaitMs);
    m_timer1.setTimerType(Qt::CoarseTimer);
    connect(&m_timer1, &QTimer::timeout, this, &ServerCore::restartTick);
    connect(&m_clients, &ClientHub::connectionsChanged, this, &ServerCore::connectionsChanged);
}

ServerCore::~ServerCore() = default;

QString ServerCore::connectionString() const
{
    return QStringLiteral("File Name=") + m_env.programDir + QStringLiteral("/udlVorsa.UDL");
}

void ServerCore::setCapiInfo(const QString& text)
{
    m_capiInfo = text;
    emit capiInfoChanged(text);
}

void ServerCore::addDebug(const QString& line)
{
    m_debugList.append(line);
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
        if (port != 0)
            m_clients.listen(quint16(port));
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
        // Text and number both keep their previous values when the text is
        // not a number, so the lookup queries are not built on it.
        const QString cutText =
            readWithMarker(QStringLiteral("LetzteStellenAbschneiden"), QStringLiteral("999"),
                           QStringLiteral("999"), QStringLiteral("3"));
        s.cutDigits = numberSetting(QStringLiteral("LetzteStellenAbschneiden"), cutText);
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
    });
}

void ServerCore::ensureLine()
{
    if (m_line)
        return;
    LineContext context{m_settings.iniPath, m_env.programDir, m_env.reporter};
    const QString name = m_settings.line.isEmpty() ? QStringLiteral("SIM") : m_settings.line;
    m_line = m_env.lineFactory(name, context);
    if (!m_line) {
        // Said once: the line then fails at every restart without a word more.
        m_env.reporter->reportError(
            QStringLiteral("StartUp"), err::InvalidPropertyValue,
            QStringLiteral("Die Leitung \"%1\" (Settings/Line) gibt es in diesem Programm nicht; "
                           "bekannt sind SIM, SIP, CALLMONITOR und CAPI.")
                .arg(name));
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
        return QStringLiteral("Der Server lauscht auf keinem TCP-Port (Settings/LocalPort), "
                              "kein Client kann sich verbinden.");
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

clsDaten& ServerCore::field(const QString& name)
{
    clsDaten* d = m_fields.find(name);
    if (!d)
        throw VbError::itemNotFound(name);
    return *d;
}

void ServerCore::copyCurrentRecord(clsSqlRs& query)
{
    for (int i = 0; i < query.Rs.fieldCount(); ++i)
        field(query.Rs.fieldName(i)).FieldValue = query.Rs.value(i);
}

void ServerCore::reportRow()
{
    if (m_env.listRows)
        guarded(*m_env.reporter, QStringLiteral("ListView1DatenAdd"),
                [&] { ListView1DatenAdd(m_callList, m_fields, m_icon, m_iconCount); });
    ClientsNachrichtVerfassen();
}

int ServerCore::iconForRecord(int records)
{
    // An icon field value that gives no icon number (empty, not a number, or
    // a sum beyond 16 bits) is said, and the call still goes out, as one that
    // could not be identified by its icon.
    int icon = 3;
    guarded(*m_env.reporter, QStringLiteral("ISDNPhone_IncomingCall"), [&] {
        if (records >= 2 && m_settings.beiDoppelFragezeichen) {
            icon = 2;
        } else if (!m_queries.iconField().isEmpty()) {
            const int sum = toInt16(field(m_queries.iconField()).FieldValue) + 4;
            if (sum > std::numeric_limits<qint16>::max())
                throw VbError::overflow();
            icon = sum;
        } else {
            icon = 1;
        }
    });
    return icon;
}

void ServerCore::reportNotIdentified(const QString& calling, const QStringList& columns)
{
    field(QStringLiteral("Anrufer")).FieldValue = calling;
    field(QStringLiteral("Versuche")).FieldValue = 0;
    for (const QString& column : columns)
        field(column).FieldValue = kNotFound;
    m_icon = 3;
    reportRow();
}

void ServerCore::ISDNPhone_IncomingCall(const QString& called, const QString& calling,
                                        const QString& extra)
{
    // One call at a time: a message box of a call runs an event loop, and a
    // call arriving meanwhile would overwrite the field values of the one
    // still being handled. It waits and is handled right after it.
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
    guarded(*m_env.reporter, QStringLiteral("ISDNPhone_IncomingCall"), [&] {
        const QDateTime now = m_env.clock();
        // The repeat window: forget numbers older than it, drop repeats within it.
        // The times are kept in UTC, so comparing them needs no time-zone work.
        const QDateTime nowUtc = now.toUTC();
        for (qsizetype i = m_lastNr.size() - 1; i >= 0; --i) {
            if (wholeSecondsBetween(m_lastNr[i].AnrufZeit, nowUtc) > m_settings.dateDiffSec)
                m_lastNr.removeAt(i);
        }
        for (auto& recent : m_lastNr) {
            if (recent.Anrufer == calling) {
                recent.AnrufZeit = nowUtc;
                return;
            }
        }
        m_lastNr.append({calling, nowUtc});

        m_fields.clearValues();
        m_queries.resetCounts();
        field(QStringLiteral("Datum")).FieldValue =
            QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch());

        if (calling == kHidden) {
            field(QStringLiteral("Anrufer")).FieldValue = QStringLiteral("Amt");
            field(QStringLiteral("Versuche")).FieldValue = 0;
            m_icon = 3;
            reportRow();
            return;
        }

        // The caller's text never acts as a pattern: a number that is not
        // digits identifies nobody and goes out without a lookup.
        QString number = callingnumber::lookupDigits(calling);
        if (number.isEmpty()) {
            reportNotIdentified(calling, m_queries.notFoundColumns());
            return;
        }
        if (m_settings.amt == QLatin1String("0"))
            number = number.mid(1);
        else if (m_settings.amt == QLatin1String("N"))
            number.prepend(QLatin1Char('0'));
        if (!number.startsWith(QLatin1Char('0')))
            number.prepend(m_settings.eigeneVorwahl);

        clsSqlRs* query = m_queries.AnruferSuchen(number, m_connection, connectionString(),
                                                  m_settings.platzhalter);
        // No database (already said): the call still goes out and into the
        // journal, as one that could not be identified.
        if (!query) {
            reportNotIdentified(calling, m_queries.notFoundColumns());
            return;
        }

        if (query->RecordCount <= 0) {
            // Nothing found, or the search failed (said): the columns of its
            // last result show "***".
            reportNotIdentified(calling, query->columnNames);
            return;
        }
        field(QStringLiteral("Anrufer")).FieldValue = calling;
        field(QStringLiteral("Versuche")).FieldValue = query->AnzahlVersuche;

        if (query->RecordCount == 1) {
            copyCurrentRecord(*query);
            m_icon = iconForRecord(1);
            if (m_autobooking.msn.isEmpty() || m_autobooking.msn == called)
                m_booking.AutobookingFahrtAnlegen(*query, m_connection, connectionString(),
                                                  m_autobooking);
            reportRow();
        } else {
            query->Rs.moveFirst();
            while (!query->Rs.eof()) {
                copyCurrentRecord(*query);
                m_icon = iconForRecord(query->RecordCount);
                reportRow();
                query->Rs.moveNext();
            }
        }
    });
}

void ServerCore::ISDNPhone_IncomingPhoneCall(const QString&, const QString&)
{
    guarded(*m_env.reporter, QStringLiteral("ISDNPhone_IncomingPhoneCall"), [&] {
        if (m_line)
            m_line->setCallSwitches(false, false);
    });
}

void ServerCore::ClientsNachrichtVerfassen()
{
    guarded(*m_env.reporter, QStringLiteral("ClientsNachrichtVerfassen"), [&] {
        const QString line = composeNotification(m_icon, m_fields);
        m_clients.ClientsNachrichtSenden(line);
        WriteLog(journal::Marker + line);
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
    guarded(*m_env.reporter, QStringLiteral("LogDateiEinlesenUndAnzeigen"), [&] {
        m_callList.beginBulk();
        struct EndBulk {
            CallListModel& model;
            ~EndBulk() { model.endBulk(); }
        } endBulk{m_callList};
        m_callList.clear();
        m_log.readJournal(filter, [&](const QString& message) { EigeneDatenAnzeigen(message); });
    });
}

void ServerCore::EigeneDatenAnzeigen(const QString& text)
{
    guarded(*m_env.reporter, QStringLiteral("EigeneDatenAnzeigen"), [&] {
        const auto lines = QStringView(text).split(QLatin1Char('\r'));
        for (const auto& line : lines) {
            for (const auto& element : line.split(QLatin1Char(';'))) {
                const auto eq = element.indexOf(QLatin1Char('='));
                if (eq < 0)
                    continue;
                const auto key = element.left(eq);
                auto value = element.mid(eq + 1);
                const auto second = value.indexOf(QLatin1Char('='));
                if (second >= 0)
                    value = value.left(second);
                if (key == QLatin1String("Icon")) {
                    m_icon = toInt16(value.toString());
                } else if (clsDaten* d = m_fields.find(key.toString())) {
                    d->FieldValue = value.toString();
                }
            }
            ListView1DatenAdd(m_callList, m_fields, m_icon, m_iconCount);
        }
    });
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
        m_lastNr.clear();
        if (m_connection.isOpen())
            m_connection.close();
        WriteLog(QStringLiteral("stopCAPI"));
        if (m_line)
            m_line->stopCAPI();
        m_clients.closeAll();
    });
}

} // namespace vorsa

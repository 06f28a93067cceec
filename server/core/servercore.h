#pragma once

#include "autobooking/autobooking.h"
#include "calllistmodel.h"
#include "calllog.h"
#include "clients/clienthub.h"
#include "clock.h"
#include "db/connection.h"
#include "fielddefinitions.h"
#include "line/phoneline.h"
#include "lookup/lookupqueries.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

namespace vorsa {

class IDesktop;
class IIconList;
class IReporter;

// The settings record of the server, filled at load.
struct ServerSettings {
    QString iniPath;
    QString user;
    QString application;
    QString logFile;
    QString amt;
    QString eigeneVorwahl;
    // As read; the queries take it as text. "0" until a number was read.
    QString letzteStellenAbschneiden = QStringLiteral("0");
    int cutDigits = 0;
    int secCapiConnection = 0;
    int dateDiffSec = 0;
    int localPort = 0;
    bool beiDoppelFragezeichen = false;
    QString platzhalter;
    QString computerName;
    QString line; // telephony backend: "SIM", "SIP", "CALLMONITOR", "CAPI"
};

// A number seen within the repeat window.
struct clsLastNr {
    QString Anrufer;
    QDateTime AnrufZeit;
    QString Key() const { return Anrufer + QLatin1Char('K'); }
};

// The call server without its window: start-up, the telephony line, the call
// path, the journal and the client connections. The window (or the headless
// main) shows its state and forwards menu commands.
class ServerCore : public QObject {
    Q_OBJECT
public:
    struct Environment {
        QString programDir;
        IReporter* reporter = nullptr;
        IDesktop* desktop = nullptr;
        IIconList* icons = nullptr;
        LineFactory lineFactory; // empty: the built-in lines
        Clock clock;             // empty: the system clock
        // Whether reported calls are kept as rows of the call list. Without
        // a window nobody sees the list, and a server that runs for months
        // would only grow by it.
        bool listRows = true;
    };

    explicit ServerCore(Environment environment, QObject* parent = nullptr);
    ~ServerCore() override;

    // Start-up and shutdown. Form_Unload takes the list columns as they stand
    // (display position and width); without a window, configuredColumns().
    void Form_Load();
    void Form_Unload(const QList<FieldDefinitions::Column>& columns);
    void Form_Unload();

    void EinlesenParameterAllgemein();
    void StartUp();
    void Timer1_Timer();
    // One tick of the restart timer; Timer1_Timer when the interval is over.
    void restartTick();
    void ISDNPhone_IncomingCall(const QString& called, const QString& calling,
                                const QString& extra);
    void ISDNPhone_IncomingPhoneCall(const QString& first, const QString& second);
    void ClientsNachrichtVerfassen();
    void LogDateiEinlesenUndAnzeigen(const QString& filter);
    void EigeneDatenAnzeigen(const QString& text);
    void WriteLog(const QString& line);

    // Menu commands.
    void mnuHeute_Click();
    void mnuAlles_Click();
    void mnuTest_Click();

    // The restart timer, stopped while the number index window is open.
    void stopRestartTimer();
    void startRestartTimer();
    bool restartTimerActive() const { return m_timer1.isActive(); }
    qint64 restartIntervalMs() const { return qint64(m_settings.secCapiConnection) * 1000; }

    // State the window shows.
    const ServerSettings& settings() const { return m_settings; }
    const QString& capiInfo() const { return m_capiInfo; }
    const QStringList& debugList() const { return m_debugList; }
    QString label5() const { return m_label5; }
    QString label6() const { return m_label6; }
    bool stammdatenVisible() const { return m_stammdatenVisible; }
    QStringList connections() const { return m_clients.connections(); }
    const QString& programDir() const { return m_env.programDir; }
    IReporter& reporter() const { return *m_env.reporter; }
    QString connectionString() const;

    CallListModel& callList() { return m_callList; }
    FieldDefinitions& fields() { return m_fields; }
    LookupQueries& queries() { return m_queries; }
    ClientHub& clients() { return m_clients; }
    CallLog& callLog() { return m_log; }
    IPhoneLine* line() const { return m_line.get(); }
    const AutobookingSettings& autobookingSettings() const { return m_autobooking; }
    const QList<clsLastNr>& recentCallers() const { return m_lastNr; }
    int currentIcon() const { return m_icon; }
    int iconCount() const { return m_iconCount; }

    // The line status text of a start.
    QString lineStatusText(bool started) const;

    // Why the loaded server can take no calls at all: it listens on no TCP
    // port, or Settings/Line names no line of this program. Empty when it can.
    // The headless server ends with it; the window stays open.
    QString startupProblem() const;

signals:
    void capiInfoChanged(const QString& text);
    void debugListChanged(const QStringList& lines);
    void labelsChanged();
    void stammdatenVisibleChanged(bool visible);
    void connectionsChanged(const QStringList& lines);

private:
    void ensureLine();
    bool m_noLine = false; // Settings/Line names no line
    void setCapiInfo(const QString& text);
    void addDebug(const QString& line);
    clsDaten& field(const QString& name);
    void copyCurrentRecord(clsSqlRs& query);
    int iconForRecord(int records);
    // Sends, lists and journals the call as one whose caller was not
    // identified: icon 3, the number as it came, "***" in `columns`.
    void reportNotIdentified(const QString& calling, const QStringList& columns);
    void reportRow();
    QString readWithMarker(const QString& key, const QString& readDefault, const QString& marker,
                           const QString& effective);

    Environment m_env;
    ServerSettings m_settings;
    AutobookingSettings m_autobooking;
    FieldDefinitions m_fields;
    LookupQueries m_queries;
    QList<clsLastNr> m_lastNr;
    CallListModel m_callList;
    CallLog m_log;
    ClientHub m_clients;
    Autobooking m_booking;
    db::Connection m_connection;
    std::unique_ptr<IPhoneLine> m_line;
    QTimer m_timer1;
    // A QTimer takes at most 2^31 ms; longer intervals are counted out.
    static constexpr qint64 kLongestTickMs = 24LL * 3600 * 1000;
    qint64 m_restartRemainingMs = 0;
    void nextRestartTick(); // the timer's next step towards the end of the interval
    bool m_unloaded = false;
    struct WaitingCall {
        QString called;
        QString calling;
        QString extra;
    };
    bool m_handlingCall = false;
    QList<WaitingCall> m_waitingCalls;
    void handleIncomingCall(const QString& called, const QString& calling, const QString& extra);

    QString m_capiInfo;
    QStringList m_debugList;
    QString m_label5;
    QString m_label6;
    bool m_stammdatenVisible = false;
    int m_icon = 0;
    int m_iconCount = 0;
    QString m_testCalled;
    QString m_testCalling;
};

} // namespace vorsa

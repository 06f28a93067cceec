#pragma once

#include "autobooking/autobooking.h"
#include "call.h"
#include "calllistmodel.h"
#include "calllog.h"
#include "calls/callpath.h"
#include "clients/clienthub.h"
#include "clock.h"
#include "db/connection.h"
#include "fielddefinitions.h"
#include "line/phoneline.h"
#include "lookup/lookupqueries.h"
#include "serversettings.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <vector>

namespace vorsa {

class IDesktop;
class IIconList;
class IReporter;

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
    // Sends a reported call to every client and writes its journal entry.
    void ClientsNachrichtVerfassen(const Call& call);
    // Refills the call list from the journal ("" every entry, else the
    // entries of a day dd.mm.yyyy): the newest MaxListenZeilen rows, read
    // from the end of the call log. Pending events run meanwhile; a call that
    // arrives goes on top, a newer reload request replaces this one.
    void LogDateiEinlesenUndAnzeigen(const QString& filter);
    // Rows from notification text (one per CR-separated line), on top.
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
    QList<clsLastNr> recentCallers() const { return m_callPath.recentCallers(); }
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
    // A call the call path reports: a row of the list, a line to every
    // client and the journal entry.
    void reportCall(const Call& call);
    QString readWithMarker(const QString& key, const QString& readDefault, const QString& marker,
                           const QString& effective);
    // Who may connect and how: ListenAddress, ErlaubteClients and the TLS
    // keys, read even when a key before them failed, so that a server never
    // listens unprotected by mistake. A key that cannot be honoured is
    // reported and keeps the server from listening; a malformed
    // ErlaubteClients entry is reported and admits no one.
    void readClientAccess();
    // The setting that keeps the server from listening ("" none).
    QString m_accessProblem;

    Environment m_env;
    ServerSettings m_settings;
    AutobookingSettings m_autobooking;
    FieldDefinitions m_fields;
    LookupQueries m_queries;
    CallListModel m_callList;
    CallLog m_log;
    ClientHub m_clients;
    Autobooking m_booking;
    // The one database connection of the calls, kept open from call to call.
    db::Connection m_connection;
    CallPath m_callPath;
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
    // The values the list's rows carry over into a reloaded entry that does
    // not name every field: those of the last call shown.
    Call m_lastShown;
    quint64 m_reportedCalls = 0;
    quint64 m_reloads = 0; // the newest reload request

    QString m_capiInfo;
    QStringList m_debugList;
    QString m_label5;
    QString m_label6;
    bool m_stammdatenVisible = false;
    int m_iconCount = 0;
    QString m_testCalled;
    QString m_testCalling;
};

} // namespace vorsa

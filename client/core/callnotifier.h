#pragma once

#include "callnotifications.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace vorsa {

class CallListModel;

// A desktop notification for each call that the list shows: the caller's name
// as the summary, the number and the other values of the configured columns as
// the body, the picture of the call's icon; clicking it brings the window to
// the front. Switched by "Settings"/"Benachrichtigung" (default on). The calls
// of a replay ("Heute", "Alles") are not announced.
class CallNotifier : public QObject {
    Q_OBJECT
public:
    // A replay counts as ended when no row has come for this long.
    static constexpr int ReplayQuietMs = 1500;

    CallNotifier(const CallListModel& model, ICallNotifications& notifications,
                 QObject* parent = nullptr);

    // Reads "Settings"/"Benachrichtigung" (missing: on, and "1" is written
    // back) and the files of the icons (section ICONS, as the list has them).
    void EinlesenBenachrichtigung(const QString& iniFile, const QString& programDir);
    bool enabled() const { return m_enabled; }

    // "Heute" or "Alles" was sent: the rows that follow are old calls.
    void replayRequested();
    bool replaying() const { return m_replayQuiet.isActive(); }
    void setReplayQuietMs(int ms) { m_replayQuiet.setInterval(ms); }

    // What a click on a notification does with the window.
    void setBringToFront(std::function<void()> bringToFront);

    // The notice of a row: `keys` are the field names of its columns,
    // `cells` their values, `iconPath` the picture of its icon.
    static CallNotice compose(const QStringList& keys, const QStringList& cells,
                              const QString& iconPath);

private:
    void rowAdded();

    const CallListModel& m_model;
    ICallNotifications& m_notifications;
    std::function<void()> m_bringToFront;
    QStringList m_iconPaths; // by icon number from 1; empty where a file failed
    bool m_enabled = false;
    QTimer m_replayQuiet;
};

} // namespace vorsa

#pragma once

#include "callclient.h"
#include "callnotifier.h"
#include "dbusnotifications.h"
#include "gui/guidesktop.h"
#include "gui/messageboxreporter.h"
#include "gui/pixmapiconlist.h"
#include "widgetstacking.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QLineEdit;
class QScrollArea;
class QTreeView;

namespace vorsa {

// The client's main window: menus, status line, call list and the value line.
// The logic is CallClient; the window shows it and forwards the user's actions.
class frmPeerA : public QMainWindow {
    Q_OBJECT
public:
    static const QString Title;
    // Designed outer size in twips.
    static constexpr int DesignedWidth = 9600;
    static constexpr int DesignedHeight = 5400;

    // `desktop` and `reporter` replace the window's own (tests record them).
    explicit frmPeerA(const QString& programDir, QWidget* parent = nullptr,
                      IDesktop* desktop = nullptr, IReporter* reporter = nullptr);
    ~frmPeerA() override;

    // Form_Load: placement, settings, fields, icons, columns, foreground, auto start.
    void load();

    CallClient& core() { return m_core; }
    CallNotifier& notifier() { return m_notifier; }
    QTreeView* listView() const { return m_list; }
    // The list's columns as they stand now: display positions and widths in twips.
    QList<FieldDefinitions::Column> currentColumns() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildMenus();
    void buildContent();
    void applyColumns();
    void updateMenus();
    void bringToFront();

    MessageBoxReporter m_boxes;
    GuiDesktop m_guiDesktop;
    IReporter& m_reporter;
    IDesktop& m_desktop;
    PixmapIconList m_icons;
    WidgetStacking m_stacking;
    CallClient m_core;
    DBusNotifications m_notifications;
    CallNotifier m_notifier;

    QAction* m_verbinden = nullptr;
    QAction* m_aktualisieren = nullptr;
    QAction* m_heute = nullptr;
    QAction* m_alles = nullptr;
    QAction* m_immer = nullptr;
    QAction* m_beiAnruf = nullptr;
    QAction* m_leeren = nullptr;
    QScrollArea* m_scroll = nullptr;
    QLabel* m_label = nullptr;
    QLabel* m_connection = nullptr;
    QTreeView* m_list = nullptr;
    QLineEdit* m_output = nullptr;
    QList<int> m_appliedPixels; // column widths as first shown
    bool m_unloaded = false;
};

} // namespace vorsa

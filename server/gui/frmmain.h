#pragma once

#include "desktop.h"
#include "gui/guidesktop.h"
#include "gui/messageboxreporter.h"
#include "gui/pixmapiconlist.h"
#include "servercore.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QScrollArea;
class QTreeView;

namespace vorsa {

// The server's window: the line status, the connected clients, diagnostics
// and the call list on a fixed content panel that scrolls inside the window.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // reporter/desktop: null for the window's own message and input boxes.
    frmMain(const QString& programDir, LineFactory lineFactory, IReporter* reporter = nullptr,
            IDesktop* desktop = nullptr, QWidget* parent = nullptr);
    ~frmMain() override;

    ServerCore& core() { return *m_core; }
    // The list columns as they stand now, for the write-back.
    QList<FieldDefinitions::Column> currentColumns() const;

    static QString caption()
    {
        return QStringLiteral("Vorsamelder-SERVER  CAPI/TCP-Schnittstelle");
    }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    void buildMenus();
    void applyColumns();
    void mnuTelNrGenerieren_Click();

    // Modal while the server loads and closes; not modal in between, so that
    // a box never holds back the calls after it.
    MessageBoxReporter m_boxReporter;
    // The index window's own boxes stay modal.
    MessageBoxReporter m_indexBoxes;
    IReporter* m_indexReporter = nullptr;
    GuiDesktop m_guiDesktop;
    PixmapIconList m_icons;
    std::unique_ptr<ServerCore> m_core;
    bool m_unloaded = false;
    QList<int> m_initialWidths; // pixels, to keep configured twips when unchanged

    QScrollArea* m_scroll = nullptr;
    QWidget* Picture1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* CapiInfo = nullptr;
    QLabel* Label2 = nullptr;
    QListWidget* DebugList = nullptr;
    QLabel* Label4 = nullptr;
    QListWidget* lstConnections = nullptr;
    QLabel* Label3 = nullptr;
    QTreeView* ListView1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QMenu* mnuAktualisieren = nullptr;
    QAction* mnuHeute = nullptr;
    QAction* mnuAlles = nullptr;
    QAction* mnuTest = nullptr;
    QMenu* mnuStammdaten = nullptr;
    QAction* mnuTelNrGenerieren = nullptr;
};

} // namespace vorsa

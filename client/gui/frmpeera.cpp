#include "frmpeera.h"

#include "gui/modfenster.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <cmath>

namespace vorsa {

const QString frmPeerA::Title = QStringLiteral("Vorsamelder-CLIENT  CAPI/TCP-Schnittstelle");

namespace {
constexpr int kTwipsPerPixel = WindowPlacement::TwipsPerPixel;
int pixelsOf(int twips)
{
    return qMax(1, int(std::lround(double(twips) / kTwipsPerPixel)));
}
} // namespace

frmPeerA::frmPeerA(const QString& programDir, QWidget* parent, IDesktop* desktop,
                   IReporter* reporter)
    : QMainWindow(parent), m_boxes(this), m_guiDesktop(this),
      m_reporter(reporter ? *reporter : static_cast<IReporter&>(m_boxes)),
      m_desktop(desktop ? *desktop : static_cast<IDesktop&>(m_guiDesktop)), m_stacking(this),
      m_core(programDir, m_reporter, m_desktop, m_stacking, m_icons),
      m_notifier(m_core.model(), m_notifications)
{
    setObjectName(QStringLiteral("frmPeerA"));
    setWindowTitle(Title);
    resize(pixelsOf(DesignedWidth), pixelsOf(DesignedHeight));
    buildMenus();
    buildContent();

    m_core.model().setIconProvider([this](int number) { return QVariant(m_icons.icon(number)); });
    connect(&m_core, &CallClient::menusChanged, this, &frmPeerA::updateMenus);
    connect(&m_core, &CallClient::txtOutputChanged, m_output, &QLineEdit::setText);
    connect(&m_core, &CallClient::statusTextChanged, m_label, &QLabel::setText);
    connect(&m_core, &CallClient::connectionStateChanged, m_connection, &QLabel::setText);
    m_notifier.setBringToFront([this] { bringToFront(); });
    updateMenus();
}

frmPeerA::~frmPeerA() = default;

void frmPeerA::buildMenus()
{
    QMenuBar* bar = menuBar();
    m_verbinden = bar->addAction(QStringLiteral("Verbinden"));
    m_verbinden->setObjectName(QStringLiteral("mnuVerbinden"));
    connect(m_verbinden, &QAction::triggered, this, [this] { m_core.mnuVerbinden_Click(); });

    QMenu* aktualisieren = bar->addMenu(QStringLiteral("Aktualisieren"));
    aktualisieren->setObjectName(QStringLiteral("mnuAktualisieren"));
    m_aktualisieren = aktualisieren->menuAction();
    m_heute = aktualisieren->addAction(QStringLiteral("Heute"));
    m_heute->setObjectName(QStringLiteral("mnuHeute"));
    connect(m_heute, &QAction::triggered, this, [this] {
        m_notifier.replayRequested();
        m_core.mnuHeute_Click();
    });
    m_alles = aktualisieren->addAction(QStringLiteral("Alles"));
    m_alles->setObjectName(QStringLiteral("mnuAlles"));
    connect(m_alles, &QAction::triggered, this, [this] {
        m_notifier.replayRequested();
        m_core.mnuAlles_Click();
    });

    QMenu* darstellung = bar->addMenu(QStringLiteral("Darstellung"));
    darstellung->setObjectName(QStringLiteral("mnuDarstellung"));
    m_immer = darstellung->addAction(QStringLiteral("Immer im Vordergrund"));
    m_immer->setObjectName(QStringLiteral("mnuImmerImVordergrund"));
    m_immer->setCheckable(true);
    connect(m_immer, &QAction::triggered, this, [this] { m_core.mnuImmerImVordergrund_Click(); });
    m_beiAnruf = darstellung->addAction(QStringLiteral("Bei Anruf in Vordergrund"));
    m_beiAnruf->setObjectName(QStringLiteral("mnuBeiAnrufInVordergrund"));
    m_beiAnruf->setCheckable(true);
    connect(m_beiAnruf, &QAction::triggered, this,
            [this] { m_core.mnuBeiAnrufInVordergrund_Click(); });

    m_leeren = bar->addAction(QStringLiteral("Leeren"));
    m_leeren->setObjectName(QStringLiteral("mnuLeeren"));
    connect(m_leeren, &QAction::triggered, this, [this] { m_core.mnuLeeren_Click(); });
}

void frmPeerA::buildContent()
{
    // Picture1 keeps at least its designed size; smaller windows scroll it.
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("Picture1"));
    panel->setMinimumSize(480, 220);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 4, 4, 4);

    m_label = new QLabel(panel);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_label);

    m_list = new QTreeView(panel);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setModel(&m_core.model());
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setItemsExpandable(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setIconSize(QSize(16, 16));
    m_list->header()->setSectionsMovable(true);
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->header()->setStretchLastSection(false);
    connect(m_list, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { m_core.ListView1_ItemClick(index.row()); });
    connect(m_list, &QTreeView::doubleClicked, this, [this](const QModelIndex&) {
        const QModelIndex current = m_list->currentIndex();
        m_core.ListView1_DblClick(current.isValid() ? current.row() : -1);
    });
    layout->addWidget(m_list, 1);

    m_output = new QLineEdit(panel);
    m_output->setObjectName(QStringLiteral("txtOutput"));
    m_output->setReadOnly(true);
    layout->addWidget(m_output);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrollArea"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidget(panel);
    setCentralWidget(m_scroll);

    // The state of the connection to the server, below everything else.
    m_connection = new QLabel(m_core.connectionState(), this);
    m_connection->setObjectName(QStringLiteral("Verbindung"));
    statusBar()->addWidget(m_connection, 1);
}

void frmPeerA::applyColumns()
{
    const auto& columns = m_core.model().columns();
    m_appliedPixels.clear();
    for (int i = 0; i < columns.size(); ++i) {
        m_list->header()->resizeSection(i, pixelsOf(columns[i].width));
        m_appliedPixels.append(m_list->header()->sectionSize(i));
    }
}

void frmPeerA::updateMenus()
{
    const CallClient::Menus menus = m_core.menus();
    m_verbinden->setEnabled(menus.verbindenEnabled);
    m_aktualisieren->setEnabled(menus.aktualisierenEnabled);
    m_immer->setChecked(menus.immerImVordergrundChecked);
    m_beiAnruf->setChecked(menus.beiAnrufInVordergrundChecked);
}

void frmPeerA::load()
{
    m_core.Form_Load([this] { FensterPositionLaden(this, DesignedWidth, DesignedHeight, Title); });
    applyColumns();
    const QString ini = m_core.settings().gstrINIFile;
    if (!ini.isEmpty())
        m_notifier.EinlesenBenachrichtigung(ini, QFileInfo(ini).absolutePath());
}

void frmPeerA::bringToFront()
{
    // The user clicked the call's notification: the window, in front and active.
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

QList<FieldDefinitions::Column> frmPeerA::currentColumns() const
{
    QList<FieldDefinitions::Column> out;
    const auto& columns = m_core.model().columns();
    const QHeaderView* header = m_list->header();
    for (int i = 0; i < columns.size(); ++i) {
        // A width the user did not change keeps its configured twips exactly
        // (the header may have widened a very narrow column).
        const int pixels = header->sectionSize(i);
        const bool unchanged = i < m_appliedPixels.size() && pixels == m_appliedPixels[i];
        const double twips = unchanged ? double(columns[i].width) : double(pixels * kTwipsPerPixel);
        out.append({columns[i].key, columns[i].header, twips, header->visualIndex(i) + 1});
    }
    return out;
}

void frmPeerA::closeEvent(QCloseEvent* event)
{
    if (!m_unloaded) {
        m_unloaded = true;
        m_core.Form_Unload([this] { FensterPositionSpeichern(this, Title); }, currentColumns());
    }
    event->accept();
}

void frmPeerA::keyPressEvent(QKeyEvent* event)
{
    // Keys that reach the window itself have no meaning here.
    m_desktop.beep();
    event->accept();
}

} // namespace vorsa

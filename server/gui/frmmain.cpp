#include "frmmain.h"

#include "frmtelnrgenerieren.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QScrollArea>
#include <QTreeView>
#include <cmath>

namespace vorsa {

namespace {
constexpr int kTwipsPerPixel = 15;
// The content panel has a fixed size; the window scrolls over it.
constexpr int kPanelWidth = 900;
constexpr int kPanelHeight = 620;
} // namespace

frmMain::frmMain(const QString& programDir, LineFactory lineFactory, IReporter* reporter,
                 IDesktop* desktop, QWidget* parent)
    : QMainWindow(parent), m_boxReporter(this), m_indexBoxes(this),
      m_indexReporter(reporter ? reporter : &m_indexBoxes), m_guiDesktop(this)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(caption());
    ServerCore::Environment env;
    env.programDir = programDir;
    env.reporter = reporter ? reporter : &m_boxReporter;
    env.desktop = desktop ? desktop : &m_guiDesktop;
    env.icons = &m_icons;
    env.lineFactory = std::move(lineFactory);
    m_core = std::make_unique<ServerCore>(std::move(env));
    m_core->callList().setIconProvider([this](int icon) -> QVariant { return m_icons.icon(icon); });

    buildUi();
    buildMenus();

    connect(m_core.get(), &ServerCore::capiInfoChanged, CapiInfo, &QLineEdit::setText);
    connect(m_core.get(), &ServerCore::debugListChanged, this, [this](const QStringList& lines) {
        DebugList->clear();
        DebugList->addItems(lines);
    });
    connect(m_core.get(), &ServerCore::labelsChanged, this, [this] {
        Label5->setText(m_core->label5());
        Label6->setText(m_core->label6());
    });
    connect(m_core.get(), &ServerCore::connectionsChanged, this, [this](const QStringList& lines) {
        lstConnections->clear();
        lstConnections->addItems(lines);
    });
    connect(m_core.get(), &ServerCore::stammdatenVisibleChanged, this,
            [this](bool visible) { mnuStammdaten->menuAction()->setVisible(visible); });

    m_core->Form_Load();
    m_boxReporter.setModal(false);
    applyColumns();
    resize(kPanelWidth + 20, kPanelHeight + 40);
}

frmMain::~frmMain()
{
    if (!m_unloaded) {
        m_unloaded = true;
        m_core->Form_Unload(currentColumns());
    }
}

void frmMain::buildUi()
{
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrollArea"));
    m_scroll->setWidgetResizable(false);
    m_scroll->setCornerWidget(new QWidget); // the corner box between the bars
    m_scroll->cornerWidget()->setObjectName(QStringLiteral("Picture2"));
    Picture1 = new QWidget;
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFixedSize(kPanelWidth, kPanelHeight);

    auto place = [this](QWidget* w, const char* name, int x, int y, int width, int height) {
        w->setParent(Picture1);
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(x, y, width, height);
    };
    Label1 = new QLabel(QStringLiteral("Start Capi Ergebnis"));
    place(Label1, "Label1", 8, 8, 400, 18);
    CapiInfo = new QLineEdit;
    CapiInfo->setReadOnly(true);
    place(CapiInfo, "CapiInfo", 8, 28, 884, 24);
    Label2 = new QLabel(QStringLiteral("Info"));
    place(Label2, "Label2", 8, 60, 300, 18);
    DebugList = new QListWidget;
    place(DebugList, "DebugList", 8, 80, 430, 90);
    Label4 = new QLabel(QStringLiteral("Angemeldete Benutzer"));
    place(Label4, "Label4", 462, 60, 300, 18);
    lstConnections = new QListWidget;
    place(lstConnections, "lstConnections", 462, 80, 430, 90);
    Label3 = new QLabel(QStringLiteral("Anrufer"));
    place(Label3, "Label3", 8, 178, 300, 18);
    ListView1 = new QTreeView;
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setFrameShape(QFrame::NoFrame);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setModel(&m_core->callList());
    ListView1->header()->setSectionsMovable(true);
    ListView1->header()->setStretchLastSection(false);
    place(ListView1, "ListView1", 8, 198, 884, 386);
    Label5 = new QLabel;
    place(Label5, "Label5", 8, 592, 430, 20);
    Label6 = new QLabel;
    place(Label6, "Label6", 462, 592, 430, 20);

    m_scroll->setWidget(Picture1);
    setCentralWidget(m_scroll);
}

void frmMain::buildMenus()
{
    mnuAktualisieren = menuBar()->addMenu(QStringLiteral("Aktualisieren"));
    mnuAktualisieren->setObjectName(QStringLiteral("mnuAktualisieren"));
    mnuHeute = mnuAktualisieren->addAction(QStringLiteral("Heute"));
    mnuHeute->setObjectName(QStringLiteral("mnuHeute"));
    mnuAlles = mnuAktualisieren->addAction(QStringLiteral("Alles"));
    mnuAlles->setObjectName(QStringLiteral("mnuAlles"));
    mnuTest = menuBar()->addAction(QStringLiteral("Test"));
    mnuTest->setObjectName(QStringLiteral("mnuTest"));
    mnuStammdaten = menuBar()->addMenu(QStringLiteral("Stammdaten"));
    mnuStammdaten->setObjectName(QStringLiteral("mnuStammdaten"));
    mnuTelNrGenerieren = mnuStammdaten->addAction(QStringLiteral("Telefonnummern generieren"));
    mnuTelNrGenerieren->setObjectName(QStringLiteral("mnuTelNrGenerieren"));
    mnuStammdaten->menuAction()->setVisible(false);

    connect(mnuHeute, &QAction::triggered, this, [this] { m_core->mnuHeute_Click(); });
    connect(mnuAlles, &QAction::triggered, this, [this] { m_core->mnuAlles_Click(); });
    connect(mnuTest, &QAction::triggered, this, [this] { m_core->mnuTest_Click(); });
    connect(mnuTelNrGenerieren, &QAction::triggered, this, &frmMain::mnuTelNrGenerieren_Click);
}

void frmMain::applyColumns()
{
    m_initialWidths.clear();
    const auto& columns = m_core->callList().columns();
    for (int i = 0; i < columns.size(); ++i) {
        const int px = std::max(1, int(std::lround(columns[i].width / double(kTwipsPerPixel))));
        ListView1->header()->resizeSection(i, px);
        // The header may hold a column wider than asked (its minimum size).
        m_initialWidths.append(ListView1->header()->sectionSize(i));
    }
}

QList<FieldDefinitions::Column> frmMain::currentColumns() const
{
    QList<FieldDefinitions::Column> out;
    const auto& columns = m_core->callList().columns();
    const QHeaderView* header = ListView1->header();
    for (int i = 0; i < columns.size(); ++i) {
        const int px = header->sectionSize(i);
        // A width the user did not touch keeps its configured twips exactly.
        const double twips = (i < m_initialWidths.size() && px == m_initialWidths[i])
                                 ? double(columns[i].width)
                                 : double(px) * kTwipsPerPixel;
        out.append({columns[i].key, columns[i].header, twips, header->visualIndex(i) + 1});
    }
    return out;
}

void frmMain::mnuTelNrGenerieren_Click()
{
    // The line is not restarted while the index is rebuilt.
    m_core->stopRestartTimer();
    {
        frmTelNrGenerieren window(m_core->programDir(), *m_indexReporter, this);
        window.setApplication(m_core->settings().application);
        window.exec();
    }
    m_core->startRestartTimer();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (!m_unloaded) {
        m_unloaded = true;
        m_boxReporter.setModal(true); // seen before the program ends
        m_core->Form_Unload(currentColumns());
    }
    event->accept();
}

} // namespace vorsa

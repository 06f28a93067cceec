#include "mdireport.h"

#include "frmdrucken.h"
#include "frmreportseite.h"
#include "gui/guidesktop.h"
#include "gui/messageboxreporter.h"
#include "gui/modfenster.h"
#include "reporter.h"
#include "vberror.h"
#include "xprint.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <cups/cups.h>

namespace OrvoReport2 {

using vorsa::guarded;
using vorsa::ignoringErrors;

const QString mdiReport::Titel = QStringLiteral("Orvo - Druckvorschau");

namespace {
struct Zoomstufe {
    const char* text;
    qint16 wert;
};
constexpr Zoomstufe Zoomstufen[] = {{"400%", 400}, {"300%", 300}, {"200%", 200}, {"150%", 150},
                                    {"100%", 100}, {"75%", 75},   {"50%", 50}};
} // namespace

mdiReport::mdiReport(vorsa::IDesktop* desktop, vorsa::IReporter* reporter, QWidget* parent)
    : QMainWindow(parent),
      m_eigenerDesktop(desktop ? nullptr : std::make_unique<vorsa::GuiDesktop>(this)),
      m_eigenerReporter(reporter ? nullptr : std::make_unique<vorsa::MessageBoxReporter>(this)),
      m_desktop(desktop ? *desktop : *m_eigenerDesktop),
      m_reporter(reporter ? *reporter : *m_eigenerReporter)
{
    setObjectName(QStringLiteral("mdiReport"));
    setWindowTitle(Titel);
    bauen();
    // The report starts on the system's default printer, so that the margins,
    // the print dialog and the printing all speak of the same printer.
    m_dok.druck.PrinterIndex = m_drucker.index();
    try {
        vorsa::FensterPositionLaden(this, DesignedWidth, DesignedHeight, ProgrammTitel);
        if (m_dok.druck.Copies == 0)
            m_dok.druck.Copies = 1;
        m_dok.schrift = AktuelleSchrift{};
    } catch (const vorsa::VbError& e) {
        // Said once the caller has its report: a box that waits for the user
        // must not hold up the program (or the D-Bus call) that makes it.
        QTimer::singleShot(
            0, this, [this, e] { m_reporter.reportError(QStringLiteral("MDIForm_Load"), e); });
    }
}

mdiReport::~mdiReport() = default;

void mdiReport::bauen()
{
    m_toolbar = addToolBar(QStringLiteral("Toolbar1"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->toggleViewAction()->setVisible(false);

    const auto knopfDazu = [&](const QString& key, const QString& text, QStyle::StandardPixmap bild,
                               const QString& thema) {
        QAction* a =
            m_toolbar->addAction(QIcon::fromTheme(thema, style()->standardIcon(bild)), text);
        a->setObjectName(key);
        a->setToolTip(text);
        connect(a, &QAction::triggered, this, [this, key] { knopfGeklickt(key); });
        return a;
    };
    knopfDazu(QStringLiteral("First"), QStringLiteral("Erste Seite"), QStyle::SP_MediaSkipBackward,
              QStringLiteral("go-first"));
    knopfDazu(QStringLiteral("Prev"), QStringLiteral("Vorige Seite"), QStyle::SP_ArrowBack,
              QStringLiteral("go-previous"));

    auto* platzhalter = new QWidget(m_toolbar);
    platzhalter->setObjectName(QStringLiteral("lblVonBis"));
    platzhalter->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* zeile = new QHBoxLayout(platzhalter);
    zeile->setContentsMargins(4, 0, 4, 0);
    m_text1 = new QLineEdit(platzhalter);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setReadOnly(true);
    m_text1->setFocusPolicy(Qt::NoFocus);
    m_text1->setAlignment(Qt::AlignCenter);
    m_text1->setFixedWidth(
        m_text1->fontMetrics().horizontalAdvance(QStringLiteral("00000 / 00000")) + 12);
    zeile->addWidget(m_text1);
    m_toolbar->addWidget(platzhalter);

    knopfDazu(QStringLiteral("Next"), QStringLiteral("Nächste Seite"), QStyle::SP_ArrowForward,
              QStringLiteral("go-next"));
    knopfDazu(QStringLiteral("Last"), QStringLiteral("Letzte Seite"), QStyle::SP_MediaSkipForward,
              QStringLiteral("go-last"));
    m_toolbar->addSeparator();
    QAction* drucken = knopfDazu(QStringLiteral("Print"), QStringLiteral("Drucken"),
                                 QStyle::SP_FileIcon, QStringLiteral("document-print"));
    QAction* pdf = knopfDazu(QStringLiteral("PDF"), QStringLiteral("Als PDF speichern"),
                             QStyle::SP_DialogSaveButton, QStringLiteral("document-save-as"));
    pdf->setIconText(QStringLiteral("PDF"));
    for (QAction* a : {drucken, pdf})
        if (auto* b = qobject_cast<QToolButton*>(m_toolbar->widgetForAction(a)))
            b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toolbar->addSeparator();

    m_combo1 = new QComboBox(m_toolbar);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setToolTip(QStringLiteral("Zoom"));
    for (const Zoomstufe& z : Zoomstufen)
        m_combo1->addItem(QString::fromLatin1(z.text), int(z.wert));
    m_combo1->setCurrentIndex(m_combo1->findData(100));
    connect(m_combo1, &QComboBox::activated, this, &mdiReport::ZoomWaehlen);
    m_toolbar->addWidget(m_combo1);

    m_bereich = new QScrollArea(this);
    m_bereich->setObjectName(QStringLiteral("Bereich"));
    m_bereich->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_bereich->setWidgetResizable(false);
    m_bereich->setBackgroundRole(QPalette::Dark);
    setCentralWidget(m_bereich);
}

QAction* mdiReport::knopf(const QString& key) const
{
    return m_toolbar->findChild<QAction*>(key, Qt::FindDirectChildrenOnly);
}

void mdiReport::seitenFensterLaden()
{
    if (m_seite)
        return;
    m_seite = new frmReportSeite;
    m_seite->setXScale(qint16(m_combo1->currentData().toInt()));
    // The scroll area keeps the page window centred horizontally.
    m_bereich->setWidget(m_seite);
    m_seite->BildAufbauen(m_drucker.druckbareBreite(), m_drucker.druckbareHoehe());
}

void mdiReport::blattNeuAufbauen()
{
    if (m_seite)
        m_seite->BildAufbauen(m_drucker.druckbareBreite(), m_drucker.druckbareHoehe());
}

void mdiReport::Anzeigen()
{
    seitenFensterLaden();
    QCoreApplication::processEvents();
    show();
    raise();
    activateWindow();
}

bool mdiReport::SeiteAusgeben(qint64 n)
{
    const Seite* seite = m_dok.seite(n);
    if (!seite)
        return false;
    if (seite->Objekte.isEmpty())
        return true; // the page shown before stays
    seitenFensterLaden();
    if (!m_seite->SeiteZeichnen(*seite))
        return false;
    m_AktSeite = qint32(n);
    m_text1->setText(QStringLiteral("%1 / %2").arg(m_AktSeite).arg(m_dok.SeitenAnzahl()));
    return true;
}

void mdiReport::ZoomWaehlen(int index)
{
    if (index < 0 || index >= m_combo1->count())
        return;
    if (m_combo1->currentIndex() != index)
        m_combo1->setCurrentIndex(index);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    seitenFensterLaden();
    m_seite->setXScale(qint16(m_combo1->itemData(index).toInt()));
    QCoreApplication::processEvents();
    blattNeuAufbauen();
    SeiteAusgeben(m_AktSeite);
    QApplication::restoreOverrideCursor();
}

void mdiReport::knopfGeklickt(const QString& key)
{
    bool gezeigt = true;
    if (key == QLatin1String("First"))
        gezeigt = SeiteAusgeben(1);
    else if (key == QLatin1String("Prev"))
        gezeigt = SeiteAusgeben(qint64(m_AktSeite) - 1);
    else if (key == QLatin1String("Next"))
        gezeigt = SeiteAusgeben(qint64(m_AktSeite) + 1);
    else if (key == QLatin1String("Last"))
        gezeigt = SeiteAusgeben(m_dok.SeitenAnzahl());
    else if (key == QLatin1String("Print"))
        DruckDialogOeffnen();
    else if (key == QLatin1String("PDF"))
        PDF_Click();
    if (!gezeigt)
        m_desktop.beep();
}

void mdiReport::druckerEinstellungenAnwenden()
{
    // Settings the printer does not take are ignored.
    ignoringErrors([&] { m_drucker.setPaperBin(m_dok.druck.PaperBin); });
    ignoringErrors([&] { m_drucker.setPaperSize(m_dok.druck.PaperSize); });
    ignoringErrors([&] { m_drucker.setOrientation(m_dok.druck.Orientation); });
}

void mdiReport::setPrinterSelection(qint32 index)
{
    m_dok.druck.PrinterIndex = m_drucker.auswaehlen(index);
    druckerEinstellungenAnwenden();
    blattNeuAufbauen();
}

void mdiReport::setOrientation(qint32 code)
{
    m_dok.druck.Orientation = code;
    ignoringErrors([&] { m_drucker.setOrientation(code); });
    blattNeuAufbauen();
}

void mdiReport::setPaperSize(qint32 code)
{
    m_dok.druck.PaperSize = code;
    ignoringErrors([&] { m_drucker.setPaperSize(code); });
    blattNeuAufbauen();
}

void mdiReport::setPaperBin(qint32 code)
{
    m_dok.druck.PaperBin = code;
    ignoringErrors([&] { m_drucker.setPaperBin(code); });
}

void mdiReport::setPrintButtonOn(bool on)
{
    knopf(QStringLiteral("Print"))->setEnabled(on);
}

bool mdiReport::SeiteDrucken(qint64 n, QPainter& painter, BildSpeicher* bilder)
{
    const Seite* seite = m_dok.seite(n);
    if (!seite)
        return false;
    try {
        SeiteZeichnen(painter, *seite, 100, bilder);
        return true;
    } catch (const std::exception&) {
        return false; // the rest of the page stays empty; the next page is printed
    }
}

void mdiReport::Drucken(const QList<qint64>& seiten)
{
    ignoringErrors(
        [&] { m_dok.druck.PrinterIndex = m_drucker.auswaehlen(m_dok.druck.PrinterIndex); });
    druckerEinstellungenAnwenden();
    blattNeuAufbauen();
    QPrinter* drucker = m_drucker.drucker();
    if (!drucker)
        throw vorsa::VbError(vorsa::err::PrinterError,
                             QStringLiteral("Es ist kein Drucker eingerichtet, auf dem gedruckt "
                                            "werden kann."));
    drucker->setDocName(windowTitle());
    drucker->setCreator(ProgrammTitel);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QPainter painter;
    if (!painter.begin(drucker)) {
        QApplication::restoreOverrideCursor();
        throw vorsa::VbError(vorsa::err::PrinterError,
                             QStringLiteral("Der Drucker %1 nimmt keinen Druckauftrag an.")
                                 .arg(m_drucker.geraetename()));
    }
    BildSpeicher bilder;
    for (qsizetype i = 0; i < seiten.size(); ++i) {
        if (i > 0)
            drucker->newPage();
        SeiteDrucken(seiten.at(i), painter, &bilder);
    }
    // Ending the job hands it to CUPS; Qt does not say whether CUPS took it.
    painter.end();
    QApplication::restoreOverrideCursor();
    if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE)
        throw vorsa::VbError(
            vorsa::err::PrinterError,
            QStringLiteral("Der Druckauftrag für %1 wurde nicht angenommen: %2")
                .arg(m_drucker.geraetename(), QString::fromUtf8(cupsLastErrorString())));
}

bool mdiReport::PdfSpeichern(const QString& pfad)
{
    QSaveFile datei(pfad);
    if (pfad.isEmpty() || !datei.open(QIODevice::WriteOnly))
        return false;
    QPdfWriter pdf(&datei);
    pdf.setPageLayout(m_drucker.seitenLayout());
    pdf.setResolution(m_drucker.drucker() ? m_drucker.drucker()->resolution() : 1200);
    pdf.setTitle(windowTitle());
    pdf.setCreator(ProgrammTitel);
    QPainter painter;
    if (!painter.begin(&pdf))
        return false;
    BildSpeicher bilder;
    for (qint32 n = 1; n <= m_dok.SeitenAnzahl(); ++n) {
        if (n > 1)
            pdf.newPage();
        SeiteDrucken(n, painter, &bilder);
    }
    painter.end();
    return datei.commit();
}

frmDrucken* mdiReport::DruckDialogOeffnen()
{
    auto* dialog = new frmDrucken(this, m_dok.SeitenAnzahl(), m_dok.druck);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

void mdiReport::SofortDrucken()
{
    auto* dialog = new frmDrucken(this, m_dok.SeitenAnzahl(), m_dok.druck);
    dialog->show();
    QCoreApplication::processEvents();
    dialog->Command1_Click();
    QCoreApplication::processEvents();
    dialog->close(); // keeps its placement also when the printing failed
    delete dialog;
    close();
}

void mdiReport::setDateiFrage(std::function<QString(const QString&)> frage)
{
    m_dateiFrage = std::move(frage);
}

void mdiReport::PDF_Click()
{
    guarded(m_reporter, QStringLiteral("PDF_Click"), [&] {
        QString name = windowTitle().section(QStringLiteral(": "), 1).trimmed();
        name.replace(QRegularExpression(QStringLiteral("[/\\:*?\"<>|]")), QStringLiteral("_"));
        const QString vorschlag = QDir::home().filePath(
            (name.isEmpty() ? QStringLiteral("Bericht") : name) + QStringLiteral(".pdf"));
        const QString pfad =
            m_dateiFrage
                ? m_dateiFrage(vorschlag)
                : QFileDialog::getSaveFileName(this, QStringLiteral("Als PDF speichern"), vorschlag,
                                               QStringLiteral("PDF-Dateien (*.pdf)"));
        if (pfad.isEmpty())
            return;
        if (!PdfSpeichern(pfad))
            throw vorsa::VbError::pathFileAccess(pfad);
    });
}

void mdiReport::closeEvent(QCloseEvent* event)
{
    guarded(m_reporter, QStringLiteral("MDIForm_Unload"),
            [&] { vorsa::FensterPositionSpeichern(this, ProgrammTitel); });
    event->accept();
    emit geschlossen();
}

} // namespace OrvoReport2

#pragma once

#include "reportdokument.h"
#include "reportdrucker.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QPainter;
class QLineEdit;
class QScrollArea;
class QToolBar;

namespace vorsa {
class IDesktop;
class IReporter;
} // namespace vorsa

namespace OrvoReport2 {

class BildSpeicher;
class frmDrucken;
class frmReportSeite;

// The program's title: the name of its per-user settings.
inline const QString ProgrammTitel = QStringLiteral("OrvoReport2");

// The preview window: toolbar (page navigation, print, zoom) and the page
// window in a scroll area. It keeps the report: pages, objects, the current
// font and the current printer with its settings.
class mdiReport : public QMainWindow {
    Q_OBJECT
public:
    static const QString Titel; // "Orvo - Druckvorschau"
    // Designed outer size in twips.
    static constexpr int DesignedWidth = 8730;
    static constexpr int DesignedHeight = 4500;

    // Loads: placement from the per-user settings, the report's defaults.
    // `desktop` and `reporter` replace the window's own (tests record them).
    explicit mdiReport(vorsa::IDesktop* desktop = nullptr, vorsa::IReporter* reporter = nullptr,
                       QWidget* parent = nullptr);
    ~mdiReport() override;

    ReportDokument& dokument() { return m_dok; }
    const ReportDokument& dokument() const { return m_dok; }
    ReportDrucker& drucker() { return m_drucker; }
    vorsa::IReporter& reporter() { return m_reporter; }
    vorsa::IDesktop& desktop() { return m_desktop; }

    // Opens the window with its page window, no page drawn yet.
    void Anzeigen();
    // Shows page n; false when there is no such page or it cannot be drawn.
    // A page without objects keeps the page shown before and gives true.
    bool SeiteAusgeben(qint64 n);
    qint32 AktSeite() const { return m_AktSeite; }
    frmReportSeite* seitenFenster() const { return m_seite; }

    // The zoom list's entry `index` ("400%" ... "50%") chosen.
    void ZoomWaehlen(int index);

    // Printer and paper: stored and applied to the current printer at once
    // (what the printer does not take is ignored).
    void setPrinterSelection(qint32 index);
    void setOrientation(qint32 code);
    void setPaperSize(qint32 code);
    void setPaperBin(qint32 code);
    void setPrintButtonOn(bool on);

    // Draws page n on a printer (or any surface) at 100 %; false when there
    // is no such page or one of its objects cannot be drawn.
    bool SeiteDrucken(qint64 n, QPainter& painter, BildSpeicher* bilder = nullptr);
    // One print job on the report's printer (selected again, its settings
    // applied, what it does not take ignored): the pages in this order, each
    // on a sheet of its own; a number without a page gives an empty sheet.
    // Fails with 482 when there is no printer or the job is refused.
    void Drucken(const QList<qint64>& seiten);
    // The whole report as a PDF file with the printer's page; false when the
    // file cannot be written.
    bool PdfSpeichern(const QString& pfad);
    // "Print": the print dialog, not modal, owned by this window.
    frmDrucken* DruckDialogOeffnen();
    // Prints the whole report with the stored settings through the print
    // dialog at once, then closes this window.
    void SofortDrucken();
    // Asks for the name of the PDF file ("PDF" button); tests answer it.
    void setDateiFrage(std::function<QString(const QString& vorschlag)> frage);

    QToolBar* toolbar() const { return m_toolbar; }
    QAction* knopf(const QString& key) const;
    QLineEdit* seitenAnzeige() const { return m_text1; }
    QComboBox* zoomListe() const { return m_combo1; }
    QScrollArea* bereich() const { return m_bereich; }

signals:
    // The window was closed (by the user or after immediate printing).
    void geschlossen();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void bauen();
    void seitenFensterLaden();
    void blattNeuAufbauen();
    void druckerEinstellungenAnwenden();
    void knopfGeklickt(const QString& key);
    void PDF_Click();

    std::unique_ptr<vorsa::IDesktop> m_eigenerDesktop;
    std::unique_ptr<vorsa::IReporter> m_eigenerReporter;
    vorsa::IDesktop& m_desktop;
    vorsa::IReporter& m_reporter;

    ReportDokument m_dok;
    ReportDrucker m_drucker;
    qint32 m_AktSeite = 0;

    QToolBar* m_toolbar = nullptr;
    QLineEdit* m_text1 = nullptr;
    QComboBox* m_combo1 = nullptr;
    QScrollArea* m_bereich = nullptr;
    frmReportSeite* m_seite = nullptr; // owned by the scroll area
    std::function<QString(const QString&)> m_dateiFrage;
};

} // namespace OrvoReport2

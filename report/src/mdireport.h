#pragma once

#include "reportdokument.h"
#include "reportdrucker.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QComboBox;
class QLineEdit;
class QScrollArea;
class QToolBar;

namespace vorsa {
class IDesktop;
class IReporter;
} // namespace vorsa

namespace OrvoReport2 {

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
};

} // namespace OrvoReport2

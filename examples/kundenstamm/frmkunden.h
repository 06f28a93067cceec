#pragma once

#include "kundendruck.h"
#include "kundenstamm.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class QDataWidgetMapper;
class QLabel;
class QStackedWidget;
class QTableView;
class uscTextBox;
class uscToolbStamm;

namespace OrvoReport2 {
class clsReport;
}

namespace vorsa {
class IDesktop;
class IReporter;
} // namespace vorsa

namespace kundenstamm {

// The customer window: the form frmKunden.ui (made in Qt Designer; the
// program folder may hold its own copy, else the built-in one is used), its
// controls created by class name through their Designer plugins. The toolbar
// uscToolbStamm1 drives everything: tenant, navigation, New / Edit / Save /
// Undo, Delete, table view with search, Refresh, Print and screen print. Every
// text box with the dynamic property "DataField" shows that column of the
// current customer (through a data widget mapper over the customer model);
// a box whose column the table lacks is disabled. Boxes are locked while the
// user browses and open while a customer is edited.
class frmKunden : public QWidget {
    Q_OBJECT

public:
    explicit frmKunden(const QString& programDir, QWidget* parent = nullptr);
    ~frmKunden() override;

    // Not owned; set before Form_Load (tests record what would be shown).
    void setReporter(vorsa::IReporter* reporter);
    void setDesktop(vorsa::IDesktop* desktop);

    // Loads the form, opens the database of udlAdressen.UDL, reads the
    // tenants and shows the customers of the tenant used last. Failures are
    // reported; false when the form itself could not be loaded.
    bool Form_Load();

    uscToolbStamm* uscToolbStamm1() const { return m_toolbar; }
    // The text box of a column (by its DataField), nullptr for none.
    uscTextBox* feld(const QString& dataField) const;
    QTableView* grdKunden() const { return m_tabelle; }
    QLabel* lblStatus() const { return m_status; }
    KundenStamm& stamm() { return m_stamm; }
    const KundenStamm& stamm() const { return m_stamm; }
    // The row of the shown customer, -1 when none is shown.
    int aktuelleZeile() const { return m_zeile; }
    bool bearbeitet() const { return m_bearbeiten; }
    // The report of the last "Print" while its preview is open, else nullptr.
    OrvoReport2::clsReport* letzterBericht() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Feld {
        QPointer<uscTextBox> box;
        QString dataField;
        int spalte = -1;
    };
    // Where a reload of the rows leaves the shown customer: on the same
    // customer (else the same row), on the same customer (else the first), on
    // the first.
    enum class Position { KundeBehalten, KundeOderErster, Erster };

    vorsa::IReporter& reporter() const;
    vorsa::IDesktop& desktop() const;
    QString iniDatei() const;
    void FormularLaden();
    void DatenbankOeffnen();
    void modellBinden();
    void ersterMandant();
    void kundenLaden(Position position);

    void zeigeZeile(int row);
    void felderLeeren();
    void felderSperren(bool gesperrt);
    void erstesFeldFokus();
    bool eingabenPruefen();
    void buttonsZeigen();
    void statusZeigen();
    void tabelleAuswaehlen();

    // The toolbar's events.
    void MandantChange();
    void AddNew(bool& cancel);
    void Bearbeiten(bool& cancel);
    void Save(bool& cancel);
    void Undo(bool& cancel);
    void Delete();
    void Move(int ziel);
    void Refresh();
    void ListenAnsicht(bool an);
    void SuchenChange(const QString& text);
    void BelegDruck();

    Kundenblatt kundenblatt() const;
    Kundenliste kundenliste() const;

    QString m_programDir;
    KundenStamm m_stamm;
    std::unique_ptr<vorsa::IReporter> m_ownReporter;
    std::unique_ptr<vorsa::IDesktop> m_ownDesktop;
    std::unique_ptr<vorsa::IReporter> m_toolbarReporter;
    vorsa::IReporter* m_reporter = nullptr;
    vorsa::IDesktop* m_desktop = nullptr;

    QWidget* m_formular = nullptr;
    uscToolbStamm* m_toolbar = nullptr;
    QStackedWidget* m_ansicht = nullptr;
    QWidget* m_detail = nullptr;
    QWidget* m_liste = nullptr;
    QTableView* m_tabelle = nullptr;
    QLabel* m_status = nullptr;
    QList<Feld> m_felder;
    QDataWidgetMapper* m_mapper = nullptr;

    int m_zeile = -1;
    bool m_bearbeiten = false;
    int m_neueZeile = -1;   // the row of a new customer while it is edited
    int m_zeileVorNeu = -1; // the row shown before "New"
    // Kept across a reload of the rows (by sort, save, refresh, search).
    QVariant m_kundeVorLaden;
    int m_zeileVorLaden = -1;
    Position m_position = Position::KundeBehalten;
    bool m_tabelleSync = false;
    bool m_mandantSetzen = false; // the program chooses the tenant itself
    QPointer<OrvoReport2::clsReport> m_letzterBericht;
};

} // namespace kundenstamm

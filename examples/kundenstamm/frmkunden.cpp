#include "frmkunden.h"

#include "felddelegate.h"
#include "gui/guidesktop.h"
#include "gui/messageboxreporter.h"
#include "gui/modfenster.h"
#include "ini.h"
#include "kundenmodell.h"
#include "reporter.h"
#include "toolbarkeyboard.h"
#include "usctextbox.h"
#include "usctoolbstamm.h"
#include "vberror.h"

#include <orvoreport2/clsreport.h>

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDataWidgetMapper>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QUiLoader>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <optional>

namespace kundenstamm {

namespace {

const QString kTitel = QStringLiteral("Kundenstamm");
// "ActiveX component can't create object": a control of the form has no class
// behind its name.
constexpr int errCannotCreateObject = 429;
constexpr int kDesignedWidth = 11400; // twips
constexpr int kDesignedHeight = 6000;

// The columns of the table view, with their headers; the others are hidden.
const struct {
    const char* field;
    const char* header;
} kListenSpalten[] = {
    {"KundenNrID", "Nr."},   {"SuchID", "Suchbegriff"},
    {"Name2", "Name"},       {"Straße", "Straße"},
    {"PLZ", "PLZ"},          {"Ort", "Ort"},
    {"Telefon1", "Telefon"}, {"Mobil", "Mobil"},
};

QString u8(const char* text)
{
    return QString::fromUtf8(text);
}

bool istKundenNr(const QString& field)
{
    return field.compare(QStringLiteral("KundenNrID"), Qt::CaseInsensitive) == 0;
}

// The tenant of the toolbar's bound text (MandNr); none for an empty one.
std::optional<qlonglong> mandantAus(const QString& boundText)
{
    if (boundText.trimmed().isEmpty())
        return std::nullopt;
    bool ok = false;
    const qlonglong nummer = boundText.trimmed().toLongLong(&ok);
    if (!ok)
        throw vorsa::VbError(
            vorsa::err::TypeMismatch,
            QStringLiteral("Die Mandantennummer \"%1\" ist keine Zahl.").arg(boundText));
    return nummer;
}

// The toolbar's boxes go to the window's reporter, but for one: the toolbar
// also hands the tenant on as a 16-bit number and reports an overflow (6) for
// a larger one. This window takes the tenant from the bound text, whatever its
// size, so that report concerns nothing it uses.
class ToolbarReporter : public vorsa::IReporter {
public:
    explicit ToolbarReporter(std::function<vorsa::IReporter&()> target)
        : m_target(std::move(target))
    {
    }
    void message(const QString& text, const QString& title, vorsa::MessageIcon icon) override
    {
        if (title == vorsa::errorTitle(vorsa::err::Overflow) &&
            text.startsWith(QStringLiteral("[cboMandant_Change]")))
            return;
        m_target().message(text, title, icon);
    }
    bool askYesNo(const QString& text, const QString& title, vorsa::MessageIcon icon) override
    {
        return m_target().askYesNo(text, title, icon);
    }

private:
    std::function<vorsa::IReporter&()> m_target;
};

} // namespace

frmKunden::frmKunden(const QString& programDir, QWidget* parent)
    : QWidget(parent), m_programDir(programDir)
{
    setObjectName(QStringLiteral("frmKunden"));
    setWindowTitle(kTitel);
    m_ownReporter = std::make_unique<vorsa::MessageBoxReporter>(this);
    m_ownDesktop = std::make_unique<vorsa::GuiDesktop>(this);
    m_toolbarReporter =
        std::make_unique<ToolbarReporter>([this]() -> vorsa::IReporter& { return reporter(); });
}

frmKunden::~frmKunden()
{
    // The model goes before the widgets that show it: nothing of this window
    // may follow its last signals.
    if (m_stamm.modell())
        m_stamm.modell()->disconnect(this);
    if (m_tabelle && m_tabelle->selectionModel())
        m_tabelle->selectionModel()->disconnect(this);
}

void frmKunden::setReporter(vorsa::IReporter* reporter)
{
    m_reporter = reporter;
}

void frmKunden::setDesktop(vorsa::IDesktop* desktop)
{
    m_desktop = desktop;
}

vorsa::IReporter& frmKunden::reporter() const
{
    return m_reporter ? *m_reporter : *m_ownReporter;
}

vorsa::IDesktop& frmKunden::desktop() const
{
    return m_desktop ? *m_desktop : *m_ownDesktop;
}

QString frmKunden::iniDatei() const
{
    return m_programDir + QStringLiteral("/Kundenstamm.INI");
}

uscTextBox* frmKunden::feld(const QString& dataField) const
{
    for (const Feld& f : m_felder) {
        if (f.dataField.compare(dataField, Qt::CaseInsensitive) == 0)
            return f.box;
    }
    return nullptr;
}

bool frmKunden::Form_Load()
{
    if (!vorsa::guarded(reporter(), QStringLiteral("FormularLaden"), [this] { FormularLaden(); }))
        return false;
    vorsa::ignoringErrors(
        [this] { vorsa::FensterPositionLaden(this, kDesignedWidth, kDesignedHeight, kTitel); });
    DatenbankOeffnen();
    return true;
}

void frmKunden::FormularLaden()
{
    // The controls are created by their class names through their Designer
    // plugins: those of this build when it runs from the build tree, else the
    // installed ones (Qt's plugin folder, QT_PLUGIN_PATH).
    QUiLoader loader;
    const QString buildPlugins = QStringLiteral(KUNDENSTAMM_PLUGIN_DIR);
    if (QFileInfo(buildPlugins).isDir()) {
        loader.clearPluginPaths();
        loader.addPluginPath(buildPlugins);
    }
    QString path = m_programDir + QStringLiteral("/frmKunden.ui");
    if (!QFileInfo::exists(path))
        path = QStringLiteral(":/kundenstamm/frmKunden.ui");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw vorsa::VbError::fileNotFound(path);
    // Until every element is found the form is not the window's.
    std::unique_ptr<QWidget> form(loader.load(&file));
    if (!form)
        throw vorsa::VbError(vorsa::err::PathFileAccess,
                             QStringLiteral("Das Formular \"%1\" konnte nicht geladen werden: %2")
                                 .arg(path, loader.errorString()));
    auto cannotCreate = [&](const QString& className, const QString& name) {
        return vorsa::VbError(
            errCannotCreateObject,
            QStringLiteral("Das Steuerelement %1 (%2) konnte nicht erstellt werden. Die "
                           "Designer-Plugins der Steuerelemente wurden nicht gefunden (%3).")
                .arg(className, name, loader.pluginPaths().join(QStringLiteral(", "))));
    };
    auto* toolbar = form->findChild<uscToolbStamm*>(QStringLiteral("uscToolbStamm1"));
    if (!toolbar)
        throw cannotCreate(QStringLiteral("uscToolbStamm"), QStringLiteral("uscToolbStamm1"));
    auto element = [&](auto* found, const char* name) {
        if (!found)
            throw vorsa::VbError::itemNotFound(QString::fromLatin1(name));
        return found;
    };
    auto* ansicht =
        element(form->findChild<QStackedWidget*>(QStringLiteral("stkAnsicht")), "stkAnsicht");
    auto* detail = element(form->findChild<QWidget*>(QStringLiteral("pgDetail")), "pgDetail");
    auto* liste = element(form->findChild<QWidget*>(QStringLiteral("pgListe")), "pgListe");
    auto* tabelle = element(form->findChild<QTableView*>(QStringLiteral("grdKunden")), "grdKunden");
    auto* status = element(form->findChild<QLabel*>(QStringLiteral("lblStatus")), "lblStatus");
    QList<Feld> felder;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        const QVariant field = w->property("DataField");
        if (!field.isValid())
            continue;
        auto* box = qobject_cast<uscTextBox*>(w);
        if (!box)
            throw cannotCreate(QStringLiteral("uscTextBox"), w->objectName());
        felder.append({box, field.toString(), -1});
    }
    m_toolbar = toolbar;
    m_ansicht = ansicht;
    m_detail = detail;
    m_liste = liste;
    m_tabelle = tabelle;
    m_status = status;
    m_felder = felder;

    m_formular = form.release();
    m_formular->setObjectName(QStringLiteral("frmKundenFormular"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_formular);
    setWindowTitle(m_formular->windowTitle().isEmpty() ? kTitel : m_formular->windowTitle());
    resize(m_formular->size());

    m_toolbar->setReporter(m_toolbarReporter.get());
    m_toolbar->setDesktop(&desktop());
    for (const Feld& f : m_felder) {
        f.box->setReporter(&reporter());
        f.box->setDesktop(&desktop());
        // Digits only (postcodes): other characters are not typed.
        if (f.box->property("NurZiffern").toBool()) {
            connect(f.box, &uscTextBox::KeyPress, this, [this](qint16& keyAscii) {
                if (keyAscii >= 32 && (keyAscii < '0' || keyAscii > '9')) {
                    keyAscii = 0;
                    desktop().beep();
                }
            });
        }
    }

    m_mapper = new QDataWidgetMapper(this);
    m_mapper->setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
    m_mapper->setItemDelegate(new FeldDelegate(m_mapper));

    uscToolbStamm* bar = m_toolbar;
    // The tenant is taken from the bound text: the event's 16-bit copy of it
    // would not hold a tenant number above 32767.
    connect(bar, &uscToolbStamm::BoundTextChanged, this, [this] { MandantChange(); });
    connect(bar, &uscToolbStamm::ButtonClickAddNew, this, [this](bool& c) { AddNew(c); });
    connect(bar, &uscToolbStamm::ButtonClickBearbeiten, this, [this](bool& c) { Bearbeiten(c); });
    connect(bar, &uscToolbStamm::ButtonClickSave, this, [this](bool& c) { Save(c); });
    connect(bar, &uscToolbStamm::ButtonClickUndo, this, [this](bool& c) { Undo(c); });
    connect(bar, &uscToolbStamm::ButtonClickDelete, this, [this] { Delete(); });
    connect(bar, &uscToolbStamm::ButtonClickMoveFirst, this, [this] { Move(-2); });
    connect(bar, &uscToolbStamm::ButtonClickMovePrevious, this, [this] { Move(-1); });
    connect(bar, &uscToolbStamm::ButtonClickMoveNext, this, [this] { Move(1); });
    connect(bar, &uscToolbStamm::ButtonClickMoveLast, this, [this] { Move(2); });
    connect(bar, &uscToolbStamm::ButtonClickRefresh, this, [this] { Refresh(); });
    connect(bar, &uscToolbStamm::ListenAnsicht, this, [this](bool an) { ListenAnsicht(an); });
    connect(bar, &uscToolbStamm::SuchenChange, this, [this](QString& text) { SuchenChange(text); });
    connect(bar, &uscToolbStamm::ButtonClickBelegDruck, this, [this] { BelegDruck(); });
    orvo::ToolbarKeyboard::install(this, bar);

    // A double-click on a customer of the table shows it in the detail view.
    connect(m_tabelle, &QTableView::doubleClicked, this, [this] {
        if (m_toolbar->ListenAnsichtOn())
            m_toolbar->Toolbar_ButtonClick(QStringLiteral("VW-List"));
    });
    m_ansicht->setCurrentWidget(m_detail);
    felderSperren(true);
    zeigeZeile(-1);
}

void frmKunden::DatenbankOeffnen()
{
    vorsa::guarded(reporter(), QStringLiteral("DatenbankOeffnen"), [this] {
        m_stamm.oeffnen(m_programDir + QStringLiteral("/udlAdressen.UDL"));
        m_stamm.setWartezeit(10000);
        modellBinden();
        m_toolbar->setRowSource(m_stamm.verbindungsName());
        ersterMandant();
        m_tabelle->resizeColumnsToContents();
    });
    zeigeZeile(m_zeile);
}

void frmKunden::modellBinden()
{
    KundenModell* model = m_stamm.modell();
    m_mapper->clearMapping();
    m_mapper->setModel(model);
    for (Feld& f : m_felder) {
        f.spalte = model->spalte(f.dataField);
        if (f.spalte < 0) {
            // A column this table does not have: the box stays empty and off.
            f.box->setText(QString());
            f.box->setEnabledProperty(false);
            continue;
        }
        f.box->setEnabledProperty(true);
        m_mapper->addMapping(f.box, f.spalte); // through the delegate
        // Keys and focus stay with the box and the toolbar's keyboard, so
        // Enter saves and Esc undoes as on every master-data form.
        f.box->removeEventFilter(m_mapper->itemDelegate());
    }

    m_tabelle->setSortingEnabled(false);
    m_tabelle->setModel(model);
    for (int column = 0; column < model->columnCount(); ++column)
        m_tabelle->setColumnHidden(column, true);
    QHeaderView* header = m_tabelle->horizontalHeader();
    int shown = 0;
    for (const auto& spalte : kListenSpalten) {
        const int column = model->spalte(u8(spalte.field));
        if (column < 0)
            continue;
        model->setHeaderData(column, Qt::Horizontal, u8(spalte.header));
        m_tabelle->setColumnHidden(column, false);
        header->moveSection(header->visualIndex(column), shown++);
    }
    const int nummer = model->spalte(QStringLiteral("KundenNrID"));
    header->setSortIndicator(nummer, Qt::AscendingOrder);
    m_tabelle->setSortingEnabled(true);

    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_kundeVorLaden = m_stamm.modell()->kundenNr(m_zeile);
        m_zeileVorLaden = m_zeile;
    });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        int row = m_position == Position::Erster ? 0 : m_stamm.modell()->zeileVon(m_kundeVorLaden);
        if (row < 0)
            row = m_position == Position::KundeOderErster ? 0 : m_zeileVorLaden;
        zeigeZeile(row);
    });
    connect(m_tabelle->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_tabelleSync && !m_bearbeiten && current.isValid())
                    zeigeZeile(current.row());
            });
}

void frmKunden::ersterMandant()
{
    // The tenant used last, else the first of the list; without tenants all
    // customers.
    if (m_toolbar->cboMandant()->currentIndex() < 0) {
        m_mandantSetzen = true;
        m_toolbar->setBoundText(vorsa::IniLesen(QStringLiteral("Settings"),
                                                QStringLiteral("Mandant"), iniDatei(), QString()));
        if (m_toolbar->cboMandant()->currentIndex() < 0 && m_toolbar->cboMandant()->count() > 0)
            m_toolbar->cboMandant()->setCurrentIndex(0);
        m_mandantSetzen = false;
    }
    m_stamm.setMandant(mandantAus(m_toolbar->BoundText()));
    kundenLaden(Position::Erster);
}

void frmKunden::kundenLaden(Position position)
{
    m_position = position;
    try {
        m_stamm.laden();
    } catch (...) {
        m_position = Position::KundeBehalten;
        zeigeZeile(m_zeile);
        throw;
    }
    m_position = Position::KundeBehalten;
}

// ---- the shown customer ----

void frmKunden::zeigeZeile(int row)
{
    KundenModell* model = m_stamm.modell();
    const int count = model ? model->rowCount() : 0;
    m_zeile = count == 0 ? -1 : std::clamp(row, 0, count - 1);
    if (m_zeile >= 0)
        m_mapper->setCurrentIndex(m_zeile);
    else
        felderLeeren();
    tabelleAuswaehlen();
    buttonsZeigen();
    statusZeigen();
}

void frmKunden::felderLeeren()
{
    for (const Feld& f : m_felder)
        f.box->setText(QString());
}

void frmKunden::felderSperren(bool gesperrt)
{
    // The number is given to a new customer, and to one that has none yet
    // (where the table tells its row apart all the same); else it stays.
    const KundenModell* model = m_stamm.modell();
    const bool nummerOffen =
        m_neueZeile >= 0 || (model && m_zeile >= 0 && model->kundenNr(m_zeile).isNull() &&
                             model->zeileEindeutig(m_zeile));
    for (const Feld& f : m_felder) {
        if (f.spalte >= 0)
            f.box->setLocked(gesperrt || (istKundenNr(f.dataField) && !nummerOffen));
    }
}

void frmKunden::erstesFeldFokus()
{
    for (const Feld& f : m_felder) {
        if (f.spalte >= 0 && !f.box->Locked()) {
            f.box->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void frmKunden::tabelleAuswaehlen()
{
    if (!m_tabelle || !m_tabelle->selectionModel() || !m_stamm.modell())
        return;
    m_tabelleSync = true;
    if (m_zeile >= 0) {
        int column = 0;
        while (column < m_stamm.modell()->columnCount() - 1 && m_tabelle->isColumnHidden(column))
            ++column;
        const QModelIndex index = m_stamm.modell()->index(m_zeile, column);
        m_tabelle->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                QItemSelectionModel::Rows);
        m_tabelle->scrollTo(index);
    } else {
        m_tabelle->selectionModel()->clear();
    }
    m_tabelleSync = false;
}

void frmKunden::buttonsZeigen()
{
    // While a customer is edited the toolbar keeps its own state.
    if (!m_toolbar || m_bearbeiten)
        return;
    const bool offen = m_stamm.istOffen();
    const bool daten = offen && m_zeile >= 0;
    m_toolbar->setButtonData(daten);
    m_toolbar->setButtonList(offen);
    // In the table view the toolbar keeps editing off; the flags count again
    // when it returns to the detail view.
    if (!m_toolbar->ListenAnsichtOn()) {
        m_toolbar->setButtonNew(offen);
        m_toolbar->setButtonProp(daten);
        m_toolbar->setButtonDelete(daten);
    }
}

void frmKunden::statusZeigen()
{
    if (!m_status)
        return;
    const int count = m_stamm.modell() ? m_stamm.modell()->rowCount() : 0;
    QString text;
    if (!m_stamm.istOffen())
        text = QStringLiteral("Keine Verbindung zur Kundendatenbank");
    else if (m_bearbeiten && m_neueZeile >= 0)
        text = QStringLiteral("Neuer Kunde");
    else if (m_bearbeiten)
        text = QStringLiteral("Kunde %1 von %2 wird bearbeitet").arg(m_zeile + 1).arg(count);
    else if (count == 0)
        text = m_stamm.suche().isEmpty() ? QStringLiteral("Keine Kunden")
                                         : QStringLiteral("Kein Kunde gefunden");
    else
        text = QStringLiteral("Kunde %1 von %2").arg(m_zeile + 1).arg(count);
    m_status->setText(text);
}

bool frmKunden::eingabenPruefen()
{
    for (const Feld& f : m_felder) {
        if (f.spalte < 0 || f.box->DatenTyp() != uscTextBox::Datum)
            continue;
        if (!f.box->Text1()->text().trimmed().isEmpty() && f.box->Text().isEmpty()) {
            reporter().message(QStringLiteral("Ungültiges Datumsformat! (tt.mm.yyyy)"),
                               QStringLiteral("Falsche Eingabe"), vorsa::MessageIcon::Warning);
            f.box->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    uscTextBox* name = feld(QStringLiteral("Name2"));
    if (name && name->Enabled() && name->Text().trimmed().isEmpty()) {
        reporter().message(QStringLiteral("Bitte den Namen des Kunden eingeben."), kTitel,
                           vorsa::MessageIcon::Warning);
        name->setFocus(Qt::OtherFocusReason);
        return false;
    }
    uscTextBox* nummer = feld(QStringLiteral("KundenNrID"));
    if (nummer && nummer->Enabled() && !nummer->Locked() && nummer->Text().toLongLong() <= 0) {
        reporter().message(QStringLiteral("Bitte eine Kundennummer größer als 0 eingeben."), kTitel,
                           vorsa::MessageIcon::Warning);
        nummer->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

// ---- the toolbar's events ----

void frmKunden::MandantChange()
{
    // No tenant chosen (the list is being filled): nothing changes.
    if (m_mandantSetzen || !m_stamm.istOffen() || m_toolbar->cboMandant()->currentIndex() < 0)
        return;
    vorsa::guarded(reporter(), QStringLiteral("MandantWechseln"), [&] {
        m_stamm.setMandant(mandantAus(m_toolbar->BoundText()));
        kundenLaden(Position::Erster);
    });
}

void frmKunden::AddNew(bool& cancel)
{
    if (!m_stamm.istOffen()) {
        cancel = true;
        desktop().beep();
        return;
    }
    const int vorher = m_zeile;
    const bool ok = vorsa::guarded(reporter(), QStringLiteral("KundeNeu"), [&] {
        const int row = m_stamm.neu();
        m_zeileVorNeu = vorher;
        m_neueZeile = row;
        m_bearbeiten = true;
        zeigeZeile(row);
        felderSperren(false);
        erstesFeldFokus();
    });
    if (!ok) {
        m_stamm.verwerfen();
        m_bearbeiten = false;
        m_neueZeile = -1;
        felderSperren(true);
        zeigeZeile(vorher);
        cancel = true;
    }
}

void frmKunden::Bearbeiten(bool& cancel)
{
    if (m_zeile < 0) {
        cancel = true;
        desktop().beep();
        return;
    }
    m_bearbeiten = true;
    felderSperren(false);
    erstesFeldFokus();
    statusZeigen();
}

void frmKunden::Save(bool& cancel)
{
    if (!m_bearbeiten)
        return;
    if (!eingabenPruefen()) {
        cancel = true;
        return;
    }
    const bool ok = vorsa::guarded(reporter(), QStringLiteral("KundeSpeichern"), [&] {
        m_mapper->submit();
        m_stamm.speichern();
    });
    if (!ok && m_stamm.hatAenderungen()) {
        // Still editing: the values stay in the boxes and the model, nothing
        // of them is in the database; the next Save writes them again.
        cancel = true;
        return;
    }
    // Saved (and, unless reported, read back: the boxes show what is stored).
    m_bearbeiten = false;
    m_neueZeile = -1;
    felderSperren(true);
    zeigeZeile(m_zeile);
}

void frmKunden::Undo(bool&)
{
    if (!m_bearbeiten)
        return;
    const int row = m_neueZeile >= 0 ? m_zeileVorNeu : m_zeile;
    m_stamm.verwerfen();
    m_bearbeiten = false;
    m_neueZeile = -1;
    felderSperren(true);
    zeigeZeile(row);
}

void frmKunden::Delete()
{
    if (m_zeile < 0) {
        desktop().beep();
        return;
    }
    vorsa::guarded(reporter(), QStringLiteral("KundeLoeschen"),
                   [this] { m_stamm.loeschen(m_zeile); });
    zeigeZeile(m_zeile);
}

void frmKunden::Move(int ziel)
{
    const int count = m_stamm.modell() ? m_stamm.modell()->rowCount() : 0;
    int row = -1;
    switch (ziel) {
    case -2:
        row = count > 0 ? 0 : -1;
        break;
    case -1:
        row = m_zeile > 0 ? m_zeile - 1 : -1;
        break;
    case 1:
        row = m_zeile >= 0 && m_zeile < count - 1 ? m_zeile + 1 : -1;
        break;
    default:
        row = count - 1;
        break;
    }
    if (row < 0) {
        desktop().beep();
        return;
    }
    zeigeZeile(row);
}

void frmKunden::Refresh()
{
    if (!m_stamm.istOffen()) {
        DatenbankOeffnen();
        return;
    }
    vorsa::guarded(reporter(), QStringLiteral("KundenAktualisieren"), [this] {
        // The tenant list too, keeping the chosen tenant.
        m_toolbar->setRowSource(m_stamm.verbindungsName());
        kundenLaden(Position::KundeBehalten);
    });
}

void frmKunden::ListenAnsicht(bool an)
{
    m_ansicht->setCurrentWidget(an ? m_liste : m_detail);
    const QString suche = an ? m_toolbar->txtSuchen()->text().trimmed() : QString();
    if (m_stamm.istOffen() && suche != m_stamm.suche()) {
        vorsa::guarded(reporter(), QStringLiteral("KundenSuchen"), [&] {
            m_stamm.setSuche(suche);
            kundenLaden(Position::KundeBehalten);
        });
    }
    zeigeZeile(m_zeile);
    if (an) {
        // The table view switches "Print" off after this event; the list of
        // the shown customers can be printed from there too.
        QTimer::singleShot(0, this, [this] {
            if (m_toolbar->ListenAnsichtOn())
                m_toolbar->Buttons(QStringLiteral("Print"))
                    ->setEnabled(m_toolbar->ButtonPrint() && m_zeile >= 0);
        });
    }
}

void frmKunden::SuchenChange(const QString& text)
{
    if (!m_toolbar->ListenAnsichtOn() || !m_stamm.istOffen())
        return;
    vorsa::guarded(reporter(), QStringLiteral("KundenSuchen"), [&] {
        m_stamm.setSuche(text);
        kundenLaden(Position::KundeOderErster);
    });
}

OrvoReport2::clsReport* frmKunden::letzterBericht() const
{
    return m_letzterBericht;
}

namespace {

// A caption without its accelerator marks ("&Name:" -> "Name:").
QString ohneKuerzel(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

} // namespace

Kundenblatt frmKunden::kundenblatt() const
{
    Kundenblatt blatt;
    const uscTextBox* nummer = feld(QStringLiteral("KundenNrID"));
    const uscTextBox* name = feld(QStringLiteral("Name2"));
    blatt.titel =
        nummer ? QStringLiteral("Kunde %1").arg(nummer->Text1()->text()) : QStringLiteral("Kunde");
    blatt.name = name ? name->Text1()->text() : QString();
    blatt.mandant = m_toolbar->cboMandant()->currentText();
    blatt.datum = QDate::currentDate();
    // Every field of the form with the caption of its label.
    QHash<const QWidget*, QString> captions;
    for (const QLabel* label : m_formular->findChildren<QLabel*>()) {
        if (label->buddy())
            captions.insert(label->buddy(), ohneKuerzel(label->text()));
    }
    for (const Feld& f : m_felder) {
        if (f.spalte < 0)
            continue;
        blatt.felder.append(
            {captions.value(f.box, f.dataField + QLatin1Char(':')), f.box->Text1()->text()});
    }
    return blatt;
}

Kundenliste frmKunden::kundenliste() const
{
    Kundenliste liste;
    liste.titel = QStringLiteral("Kundenliste");
    liste.untertitel = m_toolbar->cboMandant()->currentText();
    if (!m_stamm.suche().isEmpty())
        liste.untertitel += QStringLiteral(" – Suche: ") + m_stamm.suche();
    liste.datum = QDate::currentDate();
    // The columns as the table shows them, in their order.
    const QHeaderView* header = m_tabelle->horizontalHeader();
    const KundenModell* model = m_stamm.modell();
    QList<int> spalten;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (header->isSectionHidden(column))
            continue;
        spalten << column;
        liste.kopf << model->headerData(column, Qt::Horizontal).toString();
    }
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList zeile;
        for (int column : spalten)
            zeile << model->index(row, column).data(Qt::DisplayRole).toString().trimmed();
        liste.zeilen << zeile;
    }
    return liste;
}

void frmKunden::BelegDruck()
{
    if (m_zeile < 0) {
        desktop().beep();
        return;
    }
    vorsa::guarded(reporter(), QStringLiteral("KundenDrucken"), [this] {
        // The table view prints the list of the customers it shows, the detail
        // view the sheet of the shown customer.
        auto report = std::make_unique<OrvoReport2::clsReport>();
        bool ok = false;
        if (m_toolbar->ListenAnsichtOn()) {
            report->setCaption(QStringLiteral("Kundenliste"));
            ok = KundenlisteAufbauen(*report, kundenliste());
        } else {
            const Kundenblatt blatt = kundenblatt();
            report->setCaption(blatt.titel);
            ok = KundenblattAufbauen(*report, blatt);
        }
        if (!ok)
            throw vorsa::VbError(vorsa::err::PrinterError,
                                 QStringLiteral("Der Bericht konnte nicht aufgebaut werden."));
        report->Show();
        report->SeiteAusgeben(1);
        // The preview lives until it is closed, or until this window goes.
        OrvoReport2::clsReport* shown = report.release();
        shown->setParent(this);
        connect(shown, &OrvoReport2::clsReport::Geschlossen, shown, &QObject::deleteLater);
        m_letzterBericht = shown;
    });
}

void frmKunden::closeEvent(QCloseEvent* event)
{
    if (m_bearbeiten) {
        if (reporter().askYesNo(QStringLiteral("Die Änderungen am Kunden sind noch nicht "
                                               "gespeichert. Jetzt speichern?"),
                                kTitel, vorsa::MessageIcon::Question)) {
            m_toolbar->Toolbar_ButtonClick(QStringLiteral("Save"));
            if (m_bearbeiten) {
                event->ignore(); // not saved: the window stays with the changes
                return;
            }
        } else {
            m_toolbar->Toolbar_ButtonClick(QStringLiteral("Undo"));
        }
    }
    if (m_toolbar && !m_toolbar->BoundText().isEmpty())
        vorsa::IniSchreiben(QStringLiteral("Settings"), QStringLiteral("Mandant"), iniDatei(),
                            m_toolbar->BoundText());
    vorsa::ignoringErrors([this] { vorsa::FensterPositionSpeichern(this, kTitel); });
    // The previews of this window's reports close with it.
    qDeleteAll(findChildren<OrvoReport2::clsReport*>(QString(), Qt::FindDirectChildrenOnly));
    event->accept();
}

} // namespace kundenstamm

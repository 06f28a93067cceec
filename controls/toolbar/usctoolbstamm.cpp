#include "usctoolbstamm.h"

#include "controlevents.h"
#include "convert.h"
#include "reporter.h"
#include "toolbaricons.h"
#include "vberror.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardItemModel>
#include <QToolBar>
#include <memory>
#include <optional>

using namespace orvo;

namespace {

enum class Style { Command, Separator, Placeholder };

struct ButtonDef {
    const char* key; // nullptr: a separator without a key
    Style style;
    const char* toolTip;
    bool visible;
    bool enabled;
};

// The buttons in the order they are created, with their first state.
const ButtonDef kButtons[] = {
    {"DataCombo", Style::Placeholder, nullptr, true, true},
    {nullptr, Style::Separator, nullptr, true, true},
    {"First", Style::Command, "Zum ersten Datensatz  [F5]", true, true},
    {"Prev", Style::Command, "Zum vorherigen Datensatz  [F6]", true, true},
    {"Next", Style::Command, "Zum nächsten Datensatz  [F7]", true, true},
    {"Last", Style::Command, "Zum letzten Datensatz  [F8]", true, true},
    {nullptr, Style::Separator, nullptr, true, true},
    {"VW-List", Style::Command, "Tabelle/Detail  [F12]", true, true},
    {nullptr, Style::Separator, nullptr, true, true},
    {"txtSuchen", Style::Placeholder, nullptr, false, true},
    {"sepSuchen1", Style::Separator, nullptr, false, true},
    {"EndeMitKopie", Style::Command, "Beenden und ausgewählten Datensatz übernehmen.", false, true},
    {"EndeOhneKopie", Style::Command, "Beenden und keinen Datensatz übernehmen.", false, true},
    {"sepSuchen2", Style::Separator, nullptr, false, true},
    {"New", Style::Command, "Neu  [F9]", true, true},
    {"Prop", Style::Command, "Bearbeiten  [Enter]", true, true},
    {"Save", Style::Command, "Speichern  [Enter]", true, false},
    {"Undo", Style::Command, "Abbrechen / Rückgängig  [ESC]", true, false},
    {nullptr, Style::Separator, nullptr, true, true},
    {"Delete", Style::Command, "Datensatz löschen  [F10]", true, true},
    {nullptr, Style::Separator, nullptr, true, true},
    {"Refresh", Style::Command, "Datensätze neu aufbauen", true, true},
    {nullptr, Style::Separator, nullptr, true, true},
    {"Print", Style::Command, "Beleg drucken", true, true},
    {"PrintScreen", Style::Command, "Bildschirm drucken  [Druck]", true, true},
};

constexpr int kPlaceholderTwips = 2000;
constexpr int kHeightTwips = 405;
constexpr int kSearchOffsetTwips = 20;

} // namespace

struct uscToolbStamm::Private {
    uscToolbStamm* q = nullptr;
    QToolBar* toolbar = nullptr;
    QComboBox* cbo = nullptr;
    QLineEdit* txt = nullptr;
    QWidget* comboRoom = nullptr;  // the placeholder "DataCombo"
    QWidget* searchRoom = nullptr; // the placeholder "txtSuchen"
    QHash<QString, QAction*> buttons;
    QHash<QString, QIcon> imlToolbarIcons;

    bool buttonEnde = false;
    bool buttonData = true;
    bool buttonList = true;
    bool buttonNew = true;
    bool buttonProp = true;
    bool buttonSave = true;
    bool buttonUndo = true;
    bool buttonDelete = true;
    bool buttonRefresh = true;
    bool buttonPrint = true;
    bool buttonPrintScreen = true;
    bool buttonMandantLock = false;
    bool listenAnsicht = false;
    bool designerNewInstance = false;
    bool afterDoubleClick = false; // Toolbar1 was double-clicked, its button is still down

    std::optional<QColor> backColor;
    std::optional<QColor> foreColor;

    QString listField = QStringLiteral("MandName");
    QString boundColumn = QStringLiteral("MandNr");
    QString rowMember = QStringLiteral("TMandanten");
    QString rowSource;
    QString pendingBoundText; // a bound value not (yet) in the list
    QAbstractItemModel* model = nullptr;
    bool loading = false;

    FormPrinter formPrinter = &uscToolbStamm::printOnDefaultPrinter;

    QAction* button(const char* key) const { return buttons.value(QString::fromLatin1(key)); }
    void setEnabled(const char* key, bool enabled) const { button(key)->setEnabled(enabled); }
    void setVisible(const char* key, bool visible) const { button(key)->setVisible(visible); }

    void create();
    void BearbeitenModus(bool editing);
    void applyView();
    void runCommand(const QString& key);
    void placeChildren();
    void applyColors();
    void loadTenants();
    void selectBoundText(const QString& value);
    QVariant boundValue(int row) const;
    void tenantChanged(int index);
};

void uscToolbStamm::Private::create()
{
    toolbar = new QToolBar(q);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar->setMouseTracking(true);
    toolbar->installEventFilter(q);

    cbo = new QComboBox(q);
    cbo->setObjectName(QStringLiteral("cboMandant"));
    cbo->setModel(new QStandardItemModel(q)); // the control owns every list model
    txt = new QLineEdit(q);
    txt->setObjectName(QStringLiteral("txtSuchen"));
    txt->hide();

    const int roomWidth = twipsToPixels(kPlaceholderTwips);
    for (const ButtonDef& def : kButtons) {
        const QString key = def.key ? QString::fromUtf8(def.key) : QString();
        QAction* action = nullptr;
        switch (def.style) {
        case Style::Separator:
            action = toolbar->addSeparator();
            break;
        case Style::Placeholder: {
            auto* room = new QWidget(toolbar);
            room->setObjectName(key + QStringLiteral("Platz"));
            const int height =
                key == u"DataCombo" ? cbo->sizeHint().height() : txt->sizeHint().height();
            room->setFixedSize(roomWidth, height);
            room->installEventFilter(q);
            action = toolbar->addWidget(room);
            (key == u"DataCombo" ? comboRoom : searchRoom) = room;
            break;
        }
        case Style::Command: {
            const QString tip = QString::fromUtf8(def.toolTip);
            const QIcon icon = orvo::toolbar::buttonIcon(key, q->style());
            imlToolbarIcons.insert(key, icon);
            action = toolbar->addAction(icon, tip);
            action->setToolTip(tip);
            action->setStatusTip(tip);
            connect(action, &QAction::triggered, q, [this, key] {
                QPointer<uscToolbStamm> alive(q);
                QAction* clicked = buttons.value(key);
                runCommand(key);
                if (alive)
                    emit q->ButtonClick(clicked);
            });
            break;
        }
        }
        if (!key.isEmpty()) {
            action->setObjectName(key);
            action->setProperty("Key", key);
            buttons.insert(key, action);
        }
        action->setVisible(def.visible);
        action->setEnabled(def.enabled);
    }
    // The list and the search box lie over their placeholders.
    cbo->setFixedWidth(roomWidth);
    txt->setFixedWidth(roomWidth);
    cbo->raise();
    txt->raise();
}

void uscToolbStamm::Private::BearbeitenModus(bool editing)
{
    for (const char* key :
         {"txtSuchen", "sepSuchen1", "EndeMitKopie", "EndeOhneKopie", "sepSuchen2"})
        setVisible(key, false);
    for (const char* key : {"First", "Prev", "Next", "Last"})
        setEnabled(key, buttonData && !editing);
    setEnabled("VW-List", buttonList && !editing);
    setEnabled("New", buttonNew && !editing);
    setEnabled("Prop", buttonProp && !editing);
    setEnabled("Save", buttonSave && editing);
    setEnabled("Undo", buttonUndo && editing);
    setEnabled("Delete", buttonDelete && !editing);
    setEnabled("Refresh", buttonRefresh && !editing);
    setEnabled("Print", buttonPrint && !editing);
    setEnabled("PrintScreen", buttonPrintScreen && !editing);
    if (!buttonMandantLock)
        cbo->setEnabled(!editing);
    placeChildren();
}

void uscToolbStamm::Private::applyView()
{
    QPointer<uscToolbStamm> alive(q);
    if (listenAnsicht) {
        emit q->ListenAnsicht(true);
        if (!alive)
            return;
        setVisible("txtSuchen", true);
        setVisible("sepSuchen1", true);
        for (const char* key : {"EndeMitKopie", "EndeOhneKopie", "sepSuchen2"})
            setVisible(key, buttonEnde);
        for (const char* key : {"First", "Prev", "Next", "Last"})
            setEnabled(key, buttonData);
        setEnabled("VW-List", buttonList);
        for (const char* key :
             {"New", "Prop", "Save", "Undo", "Delete", "Refresh", "Print", "PrintScreen"})
            setEnabled(key, false);
        placeChildren(); // the search box over its placeholder, shown
    } else {
        txt->hide();
        BearbeitenModus(false);
        emit q->ListenAnsicht(false);
    }
}

void uscToolbStamm::Private::runCommand(const QString& key)
{
    QPointer<uscToolbStamm> alive(q);
    if (key == u"First") {
        emit q->ButtonClickMoveFirst();
    } else if (key == u"Prev") {
        emit q->ButtonClickMovePrevious();
    } else if (key == u"Next") {
        emit q->ButtonClickMoveNext();
    } else if (key == u"Last") {
        emit q->ButtonClickMoveLast();
    } else if (key == u"New" || key == u"Prop") {
        BearbeitenModus(true);
        bool cancel = false;
        if (key == u"New")
            emit q->ButtonClickAddNew(cancel);
        else
            emit q->ButtonClickBearbeiten(cancel);
        if (alive && cancel)
            BearbeitenModus(false);
    } else if (key == u"Save" || key == u"Undo") {
        BearbeitenModus(false);
        bool cancel = false;
        if (key == u"Save")
            emit q->ButtonClickSave(cancel);
        else
            emit q->ButtonClickUndo(cancel);
        if (alive && cancel)
            BearbeitenModus(true);
    } else if (key == u"Delete") {
        if (q->reporter().askYesNo(QStringLiteral("Datensatz löschen"), QStringLiteral("Löschen"),
                                   vorsa::MessageIcon::Question) &&
            alive)
            emit q->ButtonClickDelete();
    } else if (key == u"VW-List") {
        emit q->ButtonClickListenansicht();
        if (!alive)
            return;
        listenAnsicht = !listenAnsicht;
        applyView();
        if (alive && listenAnsicht)
            vorsa::ignoringErrors([this] { q->SetFocusToSuchen(); });
    } else if (key == u"Refresh") {
        emit q->ButtonClickRefresh();
    } else if (key == u"Print") {
        emit q->ButtonClickBelegDruck();
    } else if (key == u"PrintScreen") {
        emit q->ButtonClickPrintScreen();
        if (!alive)
            return;
        QWidget* host = q->window();
        try {
            formPrinter(host);
        } catch (const vorsa::VbError& e) {
            if (e.number() == vorsa::err::PrinterError)
                q->reporter().message(QStringLiteral("Kein Drucker vorhanden!"),
                                      host->windowTitle(), vorsa::MessageIcon::Critical);
        } catch (const std::exception&) {
            // Other failures of the screen print are not reported.
        }
    }
}

void uscToolbStamm::Private::placeChildren()
{
    // The list over "DataCombo" (same left, top and width), the search box
    // over "txtSuchen" (20 twips lower) while the table view is on.
    const bool comboShown = comboRoom->isVisibleTo(q);
    if (comboShown) {
        const QPoint at = comboRoom->mapTo(q, QPoint(0, 0));
        cbo->setGeometry(at.x(), at.y(), comboRoom->width(), comboRoom->height());
    }
    cbo->setVisible(comboShown);
    const bool searchShown = listenAnsicht && button("txtSuchen")->isVisible();
    if (searchShown) {
        const QPoint at = searchRoom->mapTo(q, QPoint(0, 0));
        const int top = std::min(at.y() + twipsToPixels(kSearchOffsetTwips),
                                 std::max(0, q->height() - searchRoom->height()));
        txt->setGeometry(at.x(), top, searchRoom->width(), searchRoom->height());
    }
    txt->setVisible(searchShown);
}

void uscToolbStamm::Private::applyColors()
{
    QPalette palette;
    if (backColor) {
        palette.setColor(QPalette::Window, *backColor);
        palette.setColor(QPalette::Button, *backColor);
    }
    if (foreColor) {
        palette.setColor(QPalette::WindowText, *foreColor);
        palette.setColor(QPalette::ButtonText, *foreColor);
    }
    q->setPalette(palette);
    q->setAutoFillBackground(backColor.has_value());
    toolbar->setAutoFillBackground(backColor.has_value());
}

QVariant uscToolbStamm::Private::boundValue(int row) const
{
    if (row < 0 || row >= model->rowCount())
        return QVariant();
    return model->index(row, 1).data();
}

void uscToolbStamm::Private::selectBoundText(const QString& value)
{
    int found = -1;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (!value.isEmpty() && boundValue(row).toString() == value) {
            found = row;
            break;
        }
    }
    pendingBoundText = found < 0 ? value : QString();
    cbo->setCurrentIndex(found);
}

void uscToolbStamm::Private::loadTenants()
{
    const QString keep = q->BoundText();
    loading = true;
    QAbstractItemModel* old = model;
    model = new QStandardItemModel(q);
    cbo->setModel(model);
    cbo->setModelColumn(0);
    delete old;

    const QSqlDatabase db = QSqlDatabase::database(rowSource, false);
    // A connection that the host has not opened yet leaves the list empty.
    if (!rowSource.isEmpty() && db.isValid() && db.isOpen() && !rowMember.isEmpty() &&
        !listField.isEmpty() && !boundColumn.isEmpty()) {
        vorsa::guarded(q->reporter(), QStringLiteral("MandantenLaden"), [&] {
            // The names as the database spells them, quoted by its driver.
            QString table;
            for (const QString& t : db.tables()) {
                if (t.compare(rowMember, Qt::CaseInsensitive) == 0)
                    table = t;
            }
            if (table.isEmpty())
                throw vorsa::VbError::database(
                    QStringLiteral("Die Tabelle \"%1\" gibt es nicht.").arg(rowMember));
            const QSqlRecord columns = db.record(table);
            auto column = [&](const QString& name) {
                const int at = columns.indexOf(name);
                if (at < 0)
                    throw vorsa::VbError::itemNotFound(name);
                return db.driver()->escapeIdentifier(columns.fieldName(at), QSqlDriver::FieldName);
            };
            const QString shown = column(listField);
            const QString bound = column(boundColumn);
            const QString sql =
                QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %2")
                    .arg(shown, bound, db.driver()->escapeIdentifier(table, QSqlDriver::TableName));
            QSqlQuery query(db);
            query.setForwardOnly(true);
            if (!query.exec(sql))
                throw vorsa::VbError::database(query.lastError().text() + QStringLiteral(" (") +
                                               sql + QLatin1Char(')'));
            // Every row is read and copied: the list keeps no query on the
            // host's connection, which the host may close or remove.
            auto rows = std::make_unique<QStandardItemModel>(0, 2);
            while (query.next()) {
                auto* shownItem = new QStandardItem;
                shownItem->setData(query.value(0), Qt::DisplayRole);
                auto* boundItem = new QStandardItem;
                boundItem->setData(query.value(1), Qt::DisplayRole);
                rows->appendRow({shownItem, boundItem});
            }
            if (query.lastError().isValid())
                throw vorsa::VbError::database(query.lastError().text());
            rows->setParent(q);
            cbo->setModel(rows.get());
            cbo->setModelColumn(0);
            delete model;
            model = rows.release();
        });
    }
    selectBoundText(keep);
    loading = false;
}

void uscToolbStamm::Private::tenantChanged(int index)
{
    if (loading)
        return;
    emit q->BoundTextChanged();
    if (index < 0)
        return; // no tenant chosen: nothing to report
    pendingBoundText.clear();
    vorsa::guarded(q->reporter(), QStringLiteral("cboMandant_Change"), [&] {
        const qint16 selectedItem = vorsa::toInt16(QVariant(index + 1));
        const qint16 neuerMandant = vorsa::toInt16(boundValue(index));
        emit q->ButtonClickMandantChange(selectedItem, neuerMandant);
    });
}

// ---- the control ----

uscToolbStamm::uscToolbStamm(QWidget* parent)
    : HostedControl(parent), d(std::make_unique<Private>())
{
    d->q = this;
    d->create();
    d->model = d->cbo->model();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(d->toolbar);
    setFixedHeight(twipsToPixels(kHeightTwips));
    connect(d->cbo, &QComboBox::currentIndexChanged, this,
            [this](int index) { d->tenantChanged(index); });
    connect(d->txt, &QLineEdit::textChanged, this, [this](const QString& text) {
        QString current = text; // the host may change its copy
        emit SuchenChange(current);
    });
    d->cbo->setCurrentIndex(-1);
}

uscToolbStamm::~uscToolbStamm() = default;

QAction* uscToolbStamm::Buttons(const QString& key) const
{
    return d->buttons.value(key);
}

QToolBar* uscToolbStamm::Toolbar1() const
{
    return d->toolbar;
}

QComboBox* uscToolbStamm::cboMandant() const
{
    return d->cbo;
}

QLineEdit* uscToolbStamm::txtSuchen() const
{
    return d->txt;
}

bool uscToolbStamm::ListenAnsichtOn() const
{
    return d->listenAnsicht;
}

void uscToolbStamm::setFormPrinter(FormPrinter printer)
{
    d->formPrinter = printer ? std::move(printer) : FormPrinter(&printOnDefaultPrinter);
}

void uscToolbStamm::printOnDefaultPrinter(QWidget* window)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        throw vorsa::VbError(vorsa::err::PrinterError, QStringLiteral("Druckerfehler"));
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(window->windowTitle());
    printer.setPageOrientation(window->width() > window->height() ? QPageLayout::Landscape
                                                                  : QPageLayout::Portrait);
    const QPixmap shot = window->grab();
    QPainter painter;
    if (!painter.begin(&printer))
        throw vorsa::VbError(vorsa::err::PrinterError, QStringLiteral("Druckerfehler"));
    const QRect page = painter.viewport();
    const QSize size = shot.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawPixmap(QRect(page.topLeft(), size), shot);
    painter.end();
}

// ---- properties ----

QColor uscToolbStamm::BackColor() const
{
    return palette().color(QPalette::Active, QPalette::Button);
}

void uscToolbStamm::setBackColor(const QColor& value)
{
    d->backColor = value;
    d->applyColors();
    propertyChanged(QStringLiteral("BackColor"));
}

void uscToolbStamm::resetBackColor()
{
    d->backColor.reset();
    d->applyColors();
    propertyChanged(QStringLiteral("BackColor"));
}

QColor uscToolbStamm::ForeColor() const
{
    return palette().color(QPalette::Active, QPalette::ButtonText);
}

void uscToolbStamm::setForeColor(const QColor& value)
{
    d->foreColor = value;
    d->applyColors();
    propertyChanged(QStringLiteral("ForeColor"));
}

void uscToolbStamm::resetForeColor()
{
    d->foreColor.reset();
    d->applyColors();
    propertyChanged(QStringLiteral("ForeColor"));
}

bool uscToolbStamm::Enabled() const
{
    return d->toolbar->isEnabledTo(this);
}

void uscToolbStamm::setEnabledProperty(bool value)
{
    d->toolbar->setEnabled(value);
    propertyChanged(QStringLiteral("Enabled"));
}

QFont uscToolbStamm::Font() const
{
    return font();
}

void uscToolbStamm::setFontProperty(const QFont& value)
{
    setFont(value);
    propertyChanged(QStringLiteral("Font"));
}

void uscToolbStamm::resetFontProperty()
{
    setFont(QFont());
    propertyChanged(QStringLiteral("Font"));
}

// A flag is stored and applied at once, whatever the edit state (ButtonEnde
// only counts when the table view is switched on).

bool uscToolbStamm::ButtonEnde() const
{
    return d->buttonEnde;
}

void uscToolbStamm::setButtonEnde(bool value)
{
    d->buttonEnde = value;
    propertyChanged(QStringLiteral("ButtonEnde"));
}

bool uscToolbStamm::ButtonData() const
{
    return d->buttonData;
}

void uscToolbStamm::setButtonData(bool value)
{
    d->buttonData = value;
    for (const char* key : {"First", "Prev", "Next", "Last"})
        d->setEnabled(key, value);
    propertyChanged(QStringLiteral("ButtonData"));
}

bool uscToolbStamm::ButtonList() const
{
    return d->buttonList;
}

void uscToolbStamm::setButtonList(bool value)
{
    d->buttonList = value;
    d->setEnabled("VW-List", value);
    propertyChanged(QStringLiteral("ButtonList"));
}

bool uscToolbStamm::ButtonNew() const
{
    return d->buttonNew;
}

void uscToolbStamm::setButtonNew(bool value)
{
    d->buttonNew = value;
    d->setEnabled("New", value);
    propertyChanged(QStringLiteral("ButtonNew"));
}

bool uscToolbStamm::ButtonProp() const
{
    return d->buttonProp;
}

void uscToolbStamm::setButtonProp(bool value)
{
    d->buttonProp = value;
    d->setEnabled("Prop", value);
    propertyChanged(QStringLiteral("ButtonProp"));
}

bool uscToolbStamm::ButtonSave() const
{
    return d->buttonSave;
}

void uscToolbStamm::setButtonSave(bool value)
{
    d->buttonSave = value;
    d->setEnabled("Save", value);
    propertyChanged(QStringLiteral("ButtonSave"));
}

bool uscToolbStamm::ButtonUndo() const
{
    return d->buttonUndo;
}

void uscToolbStamm::setButtonUndo(bool value)
{
    d->buttonUndo = value;
    d->setEnabled("Undo", value);
    propertyChanged(QStringLiteral("ButtonUndo"));
}

bool uscToolbStamm::ButtonDelete() const
{
    return d->buttonDelete;
}

void uscToolbStamm::setButtonDelete(bool value)
{
    d->buttonDelete = value;
    d->setEnabled("Delete", value);
    propertyChanged(QStringLiteral("ButtonDelete"));
}

bool uscToolbStamm::ButtonRefresh() const
{
    return d->buttonRefresh;
}

void uscToolbStamm::setButtonRefresh(bool value)
{
    d->buttonRefresh = value;
    d->setEnabled("Refresh", value);
    propertyChanged(QStringLiteral("ButtonRefresh"));
}

bool uscToolbStamm::ButtonPrint() const
{
    return d->buttonPrint;
}

void uscToolbStamm::setButtonPrint(bool value)
{
    d->buttonPrint = value;
    d->setEnabled("Print", value);
    d->setVisible("Print", value);
    propertyChanged(QStringLiteral("ButtonPrint"));
}

bool uscToolbStamm::ButtonPrintScreen() const
{
    return d->buttonPrintScreen;
}

void uscToolbStamm::setButtonPrintScreen(bool value)
{
    d->buttonPrintScreen = value;
    d->setEnabled("PrintScreen", value);
    propertyChanged(QStringLiteral("ButtonPrintScreen"));
}

bool uscToolbStamm::ButtonMandantLock() const
{
    return d->buttonMandantLock;
}

void uscToolbStamm::setButtonMandantLock(bool value)
{
    d->buttonMandantLock = value;
    d->cbo->setEnabled(!value);
    propertyChanged(QStringLiteral("ButtonMandantLock"));
}

QString uscToolbStamm::ListField() const
{
    return d->listField;
}

void uscToolbStamm::setListField(const QString& value)
{
    d->listField = value;
    d->loadTenants();
    propertyChanged(QStringLiteral("ListField"));
}

QString uscToolbStamm::BoundColumn() const
{
    return d->boundColumn;
}

void uscToolbStamm::setBoundColumn(const QString& value)
{
    d->boundColumn = value;
    d->loadTenants();
    propertyChanged(QStringLiteral("BoundColumn"));
}

QString uscToolbStamm::RowMember() const
{
    return d->rowMember;
}

void uscToolbStamm::setRowMember(const QString& value)
{
    d->rowMember = value;
    d->loadTenants();
    propertyChanged(QStringLiteral("RowMember"));
}

QString uscToolbStamm::RowSource() const
{
    return d->rowSource;
}

void uscToolbStamm::setRowSource(const QString& value)
{
    d->rowSource = value;
    d->loadTenants();
    propertyChanged(QStringLiteral("RowSource"));
}

QString uscToolbStamm::BoundText() const
{
    const int row = d->cbo->currentIndex();
    if (row < 0)
        return d->pendingBoundText;
    return d->boundValue(row).toString();
}

void uscToolbStamm::setBoundText(const QString& value)
{
    const int before = d->cbo->currentIndex();
    d->selectBoundText(value);
    if (d->cbo->currentIndex() == before)
        emit BoundTextChanged(); // the index did not move, the value may have
    propertyChanged(QStringLiteral("BoundText"));
}

bool uscToolbStamm::designerNewInstance() const
{
    return d->designerNewInstance;
}

void uscToolbStamm::setDesignerNewInstance(bool value)
{
    d->designerNewInstance = value;
}

// ---- methods ----

void uscToolbStamm::Refresh()
{
    d->toolbar->update();
}

void uscToolbStamm::SetFocusToSuchen()
{
    d->txt->setFocus(Qt::OtherFocusReason);
    d->txt->selectAll();
}

void uscToolbStamm::Toolbar_ButtonClick(const QString& Button)
{
    d->runCommand(Button);
}

// ---- persistence ----

void uscToolbStamm::InitProperties()
{
    resetFontProperty();
    d->buttonEnde = false;
    d->buttonData = true;
    d->buttonList = true;
    d->buttonNew = true;
    d->buttonProp = true;
    d->buttonSave = true;
    d->buttonUndo = true;
    d->buttonDelete = true;
    d->buttonRefresh = true;
    d->buttonPrint = true;
    d->buttonPrintScreen = true;
    d->buttonMandantLock = false;
    d->listenAnsicht = false;
    d->setVisible("Print", true);
    d->listField = QStringLiteral("MandName");
    d->boundColumn = QStringLiteral("MandNr");
    d->rowMember = QStringLiteral("TMandanten");
    d->loadTenants();
    d->BearbeitenModus(false);
}

void uscToolbStamm::WriteProperties(PropertyBag& bag) const
{
    // The system's colours, as the control has them when none is set.
    const QPalette system =
        parentWidget() ? parentWidget()->palette() : QApplication::palette(this);
    bag.WriteProperty(QStringLiteral("BackColor"), BackColor(),
                      system.color(QPalette::Active, QPalette::Button));
    bag.WriteProperty(QStringLiteral("ForeColor"), ForeColor(),
                      system.color(QPalette::Active, QPalette::ButtonText));
    bag.WriteProperty(QStringLiteral("Enabled"), Enabled(), true);
    bag.WriteProperty(QStringLiteral("Font"), Font(), AmbientFont());
    bag.WriteProperty(QStringLiteral("ButtonEnde"), d->buttonEnde, false);
    bag.WriteProperty(QStringLiteral("ButtonData"), d->buttonData, true);
    bag.WriteProperty(QStringLiteral("ButtonList"), d->buttonList, true);
    bag.WriteProperty(QStringLiteral("ButtonNew"), d->buttonNew, true);
    bag.WriteProperty(QStringLiteral("ButtonProp"), d->buttonProp, true);
    bag.WriteProperty(QStringLiteral("ButtonSave"), d->buttonSave, true);
    bag.WriteProperty(QStringLiteral("ButtonUndo"), d->buttonUndo, true);
    bag.WriteProperty(QStringLiteral("ButtonDelete"), d->buttonDelete, true);
    bag.WriteProperty(QStringLiteral("ButtonRefresh"), d->buttonRefresh, true);
    bag.WriteProperty(QStringLiteral("ButtonPrint"), d->buttonPrint, true);
    bag.WriteProperty(QStringLiteral("ButtonPrintScreen"), d->buttonPrintScreen, true);
    bag.WriteProperty(QStringLiteral("ButtonMandantLock"), d->buttonMandantLock, false);
    bag.WriteProperty(QStringLiteral("ListField"), d->listField, QString());
    bag.WriteProperty(QStringLiteral("BoundColumn"), d->boundColumn, QString());
    bag.WriteProperty(QStringLiteral("RowMember"), d->rowMember, QString());
    bag.WriteProperty(QStringLiteral("RowSource"), d->rowSource, QString());
    bag.WriteProperty(QStringLiteral("BoundText"), BoundText(), QString());
}

namespace {

bool readBool(const PropertyBag& bag, const QString& name, bool defaultValue)
{
    const QVariant v = bag.ReadProperty(name, defaultValue);
    return v.canConvert<bool>() ? v.toBool() : defaultValue;
}

QString readString(const PropertyBag& bag, const QString& name)
{
    const QVariant v = bag.ReadProperty(name, QString());
    return v.canConvert<QString>() ? v.toString() : QString();
}

std::optional<QColor> readColor(const PropertyBag& bag, const QString& name)
{
    const QColor c = bag.ReadProperty(name).value<QColor>();
    return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
}

} // namespace

void uscToolbStamm::ReadProperties(const PropertyBag& bag)
{
    d->backColor = readColor(bag, QStringLiteral("BackColor"));
    d->foreColor = readColor(bag, QStringLiteral("ForeColor"));
    d->applyColors();
    d->toolbar->setEnabled(readBool(bag, QStringLiteral("Enabled"), true));
    const QVariant font = bag.ReadProperty(QStringLiteral("Font"));
    setFont(font.isValid() && font.canConvert<QFont>() ? font.value<QFont>() : QFont());
    d->buttonEnde = readBool(bag, QStringLiteral("ButtonEnde"), false);
    d->buttonData = readBool(bag, QStringLiteral("ButtonData"), true);
    d->buttonList = readBool(bag, QStringLiteral("ButtonList"), true);
    d->buttonNew = readBool(bag, QStringLiteral("ButtonNew"), true);
    d->buttonProp = readBool(bag, QStringLiteral("ButtonProp"), true);
    d->buttonSave = readBool(bag, QStringLiteral("ButtonSave"), true);
    d->buttonUndo = readBool(bag, QStringLiteral("ButtonUndo"), true);
    d->buttonDelete = readBool(bag, QStringLiteral("ButtonDelete"), true);
    d->buttonRefresh = readBool(bag, QStringLiteral("ButtonRefresh"), true);
    d->buttonPrint = readBool(bag, QStringLiteral("ButtonPrint"), true);
    d->setVisible("Print", d->buttonPrint);
    d->buttonPrintScreen = readBool(bag, QStringLiteral("ButtonPrintScreen"), true);
    d->buttonMandantLock = readBool(bag, QStringLiteral("ButtonMandantLock"), false);
    d->listField = readString(bag, QStringLiteral("ListField"));
    d->boundColumn = readString(bag, QStringLiteral("BoundColumn"));
    d->rowMember = readString(bag, QStringLiteral("RowMember"));
    d->rowSource = readString(bag, QStringLiteral("RowSource"));
    d->pendingBoundText = readString(bag, QStringLiteral("BoundText"));
    d->cbo->setCurrentIndex(-1);
    d->loadTenants();
    d->cbo->setEnabled(!d->buttonMandantLock);
    // A loaded toolbar starts in the detail view, not editing.
    d->listenAnsicht = false;
    d->BearbeitenModus(false);
}

// ---- events and geometry ----

bool uscToolbStamm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == d->comboRoom || watched == d->searchRoom) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            d->placeChildren();
            break;
        default:
            break;
        }
    } else if (watched == d->toolbar) {
        auto mouse = [&](void (uscToolbStamm::*signal)(qint16, qint16, float, float),
                         Qt::MouseButtons buttons) {
            const auto* e = static_cast<QMouseEvent*>(event);
            emit(this->*signal)(vbButton(buttons), vbShift(e->modifiers()),
                                pixelsToTwips(e->position().x()), pixelsToTwips(e->position().y()));
        };
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            d->afterDoubleClick = false;
            mouse(&uscToolbStamm::MouseDown, static_cast<QMouseEvent*>(event)->button());
            break;
        case QEvent::MouseMove:
            mouse(&uscToolbStamm::MouseMove, static_cast<QMouseEvent*>(event)->buttons());
            break;
        case QEvent::MouseButtonRelease: {
            // The release that ends a double click is no click of its own.
            const bool click = !d->afterDoubleClick;
            d->afterDoubleClick = false;
            mouse(&uscToolbStamm::MouseUp, static_cast<QMouseEvent*>(event)->button());
            if (click)
                emit Click();
            break;
        }
        case QEvent::MouseButtonDblClick:
            d->afterDoubleClick = true;
            emit DblClick();
            break;
        default:
            break;
        }
    }
    return HostedControl::eventFilter(watched, event);
}

void uscToolbStamm::keyPressEvent(QKeyEvent* event)
{
    QPointer<uscToolbStamm> alive(this);
    qint16 keyCode = vbKeyCode(event);
    qint16 shift = vbShift(event->modifiers());
    emit KeyDown(keyCode, shift);
    const QString text = event->text();
    if (alive && text.size() == 1 && text.at(0).unicode() != 0x7F) {
        qint16 ascii = keyAscii(text.at(0));
        emit KeyPress(ascii);
    }
    event->ignore(); // on to the host
}

void uscToolbStamm::keyReleaseEvent(QKeyEvent* event)
{
    if (!event->isAutoRepeat()) {
        qint16 keyCode = vbKeyCode(event);
        qint16 shift = vbShift(event->modifiers());
        emit KeyUp(keyCode, shift);
    }
    event->ignore();
}

void uscToolbStamm::resizeEvent(QResizeEvent* event)
{
    HostedControl::resizeEvent(event);
    d->placeChildren();
}

QSize uscToolbStamm::sizeHint() const
{
    return {d->toolbar->sizeHint().width(), twipsToPixels(kHeightTwips)};
}

QSize uscToolbStamm::minimumSizeHint() const
{
    return {d->toolbar->minimumSizeHint().width(), twipsToPixels(kHeightTwips)};
}

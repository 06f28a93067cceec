#include "daten.h"

#include "convert.h"
#include "gui/messageboxreporter.h"
#include "reporter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

namespace orvo {

struct Daten::Private {
    explicit Private(QWidget* page) : ownReporter(page) {}

    QComboBox* cboDatenTyp = nullptr;
    QLineEdit* txtDatenVorkomma = nullptr;
    QLineEdit* txtDatenNachkomma = nullptr;
    QLineEdit* txtText = nullptr;
    QLineEdit* txtPasswordChar = nullptr;
    QLineEdit* txtMaxLength = nullptr;
    QCheckBox* chkLocked = nullptr;
    QCheckBox* chkEnabled = nullptr;

    QList<QPointer<QObject>> selection;
    PropertyWriter writer;
    vorsa::MessageBoxReporter ownReporter;
    vorsa::IReporter* reporter = nullptr;
    bool changed = false;
    bool filling = false;

    static void setIfDifferent(QLineEdit* field, const QString& value)
    {
        if (field->text() != value)
            field->setText(value);
    }
};

Daten::Daten(QWidget* parent) : QWidget(parent), d(std::make_unique<Private>(this))
{
    setObjectName(QStringLiteral("Daten"));
    setWindowTitle(QStringLiteral("Daten"));

    auto lineEdit = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (!d->filling)
                setChanged(true);
        });
        return edit;
    };
    d->cboDatenTyp = new QComboBox(this);
    d->cboDatenTyp->setObjectName(QStringLiteral("cboDatenTyp"));
    d->cboDatenTyp->addItems({QStringLiteral("0 - NormalText"), QStringLiteral("1 - UpperText"),
                              QStringLiteral("2 - Nummer"), QStringLiteral("3 - Zahl"),
                              QStringLiteral("4 - Datum"), QStringLiteral("5 - Uhrzeit")});
    d->txtDatenVorkomma = lineEdit("txtDatenVorkomma");
    d->txtDatenNachkomma = lineEdit("txtDatenNachkomma");
    d->txtText = lineEdit("txtText");
    d->txtPasswordChar = lineEdit("txtPasswordChar");
    d->txtMaxLength = lineEdit("txtMaxLength");
    d->chkLocked = new QCheckBox(QStringLiteral("Locked"), this);
    d->chkLocked->setObjectName(QStringLiteral("chkLocked"));
    d->chkEnabled = new QCheckBox(QStringLiteral("Enabled"), this);
    d->chkEnabled->setObjectName(QStringLiteral("chkEnabled"));

    connect(d->cboDatenTyp, &QComboBox::currentIndexChanged, this, [this] {
        if (!d->filling)
            setChanged(true);
    });
    // A type chosen by the user brings its defaults.
    connect(d->cboDatenTyp, &QComboBox::activated, this, [this] { TypVorgaben(); });
    for (QCheckBox* box : {d->chkLocked, d->chkEnabled}) {
        connect(box, &QCheckBox::toggled, this, [this] {
            if (!d->filling)
                setChanged(true);
        });
    }

    auto* grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    };
    addRow(QStringLiteral("Datentyp"), d->cboDatenTyp);
    addRow(QStringLiteral("DatenVorkomma:"), d->txtDatenVorkomma);
    addRow(QStringLiteral("DatenNachkomma:"), d->txtDatenNachkomma);
    addRow(QStringLiteral("Text:"), d->txtText);
    addRow(QStringLiteral("PasswordChar:"), d->txtPasswordChar);
    addRow(QStringLiteral("MaxLength:"), d->txtMaxLength);
    grid->addWidget(d->chkLocked, row++, 1);
    grid->addWidget(d->chkEnabled, row++, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addStretch(1);
}

Daten::~Daten() = default;

void Daten::setPropertyWriter(PropertyWriter writer)
{
    d->writer = std::move(writer);
}

void Daten::setReporter(vorsa::IReporter* reporter)
{
    d->reporter = reporter;
}

bool Daten::Changed() const
{
    return d->changed;
}

void Daten::setChanged(bool changed)
{
    if (d->changed == changed)
        return;
    d->changed = changed;
    emit ChangedChanged(changed);
}

void Daten::SelectionChanged(const QList<QObject*>& selectedControls)
{
    d->selection.clear();
    for (QObject* o : selectedControls)
        d->selection.append(o);
    QObject* first = selectedControls.value(0);
    if (!first)
        return;
    d->filling = true;
    d->txtDatenNachkomma->setText(first->property("DatenNachkomma").toString());
    d->txtDatenVorkomma->setText(first->property("DatenVorkomma").toString());
    d->txtText->setText(first->property("Text").toString());
    d->txtPasswordChar->setText(first->property("PasswordChar").toString());
    d->txtMaxLength->setText(first->property("MaxLength").toString());
    d->chkLocked->setChecked(first->property("Locked").toBool());
    d->chkEnabled->setChecked(first->property("Enabled").toBool());
    const int type = first->property("DatenTyp").toInt();
    d->cboDatenTyp->setCurrentIndex(type >= 0 && type < d->cboDatenTyp->count() ? type : -1);
    d->filling = false;
    setChanged(false);
}

void Daten::TypVorgaben()
{
    struct Defaults {
        const char* vorkomma; // nullptr: unchanged
        const char* nachkomma;
        const char* maxLength;
        const char* text;
    };
    static const Defaults table[] = {
        {"0", "0", nullptr, ""},      // NormalText
        {"0", "0", nullptr, ""},      // UpperText
        {nullptr, nullptr, "0", "0"}, // Nummer
        {nullptr, nullptr, "0", "0"}, // Zahl
        {"0", "0", "10", ""},         // Datum
        {"4", "0", "5", "00:00"},     // Uhrzeit
    };
    const int index = d->cboDatenTyp->currentIndex();
    if (index < 0 || index >= int(std::size(table)))
        return;
    const Defaults& row = table[index];
    if (row.vorkomma)
        Private::setIfDifferent(d->txtDatenVorkomma, QString::fromLatin1(row.vorkomma));
    if (row.nachkomma)
        Private::setIfDifferent(d->txtDatenNachkomma, QString::fromLatin1(row.nachkomma));
    if (row.maxLength)
        Private::setIfDifferent(d->txtMaxLength, QString::fromLatin1(row.maxLength));
    d->txtText->setText(QString::fromLatin1(row.text));
}

bool Daten::ApplyChanges()
{
    QObject* control = d->selection.value(0);
    if (!control)
        return false;
    vorsa::IReporter& reporter = d->reporter ? *d->reporter : d->ownReporter;
    qint16 nachkomma = 0;
    qint16 vorkomma = 0;
    qint32 maxLength = 0;
    // Every number is read before anything is written, so a bad field leaves
    // the control as it was.
    const bool numbersRead = vorsa::guarded(reporter, QStringLiteral("ApplyChanges"), [&] {
        nachkomma = vorsa::toInt16(d->txtDatenNachkomma->text());
        vorkomma = vorsa::toInt16(d->txtDatenVorkomma->text());
        maxLength = vorsa::toLong(d->txtMaxLength->text());
    });
    if (!numbersRead)
        return false;
    const PropertyWriter write =
        d->writer ? d->writer : [](QObject* o, const char* name, const QVariant& value) {
            o->setProperty(name, value);
        };
    write(control, "DatenNachkomma", int(nachkomma));
    write(control, "DatenVorkomma", int(vorkomma));
    write(control, "Text", d->txtText->text());
    write(control, "PasswordChar", d->txtPasswordChar->text());
    write(control, "MaxLength", maxLength);
    write(control, "Locked", d->chkLocked->isChecked());
    write(control, "Enabled", d->chkEnabled->isChecked());
    write(control, "DatenTyp", std::max(0, d->cboDatenTyp->currentIndex()));
    setChanged(false);
    return true;
}

bool Daten::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && event->type() == QEvent::FocusIn && field != d->txtPasswordChar) {
        field->selectAll();
    } else if (event->type() == QEvent::FocusOut &&
               (watched == d->txtDatenVorkomma || watched == d->txtDatenNachkomma)) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            TypVorgaben();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace orvo

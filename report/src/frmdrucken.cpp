#include "frmdrucken.h"

#include "convert.h"
#include "desktop.h"
#include "druckauftrag.h"
#include "gui/modfenster.h"
#include "mdireport.h"
#include "numberkeyfilter.h"
#include "reporter.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace OrvoReport2 {

namespace {
// Places in front of the comma: 5 for the pages, 2 for the copies.
int vorkomma(int feld)
{
    return feld == 2 ? 2 : 5;
}

qint64 wert(const QLineEdit* feld)
{
    return qint64(vorsa::leadingNumber(feld->text()));
}
} // namespace

frmDrucken::frmDrucken(mdiReport* parent, qint32 maxSeiten, const DruckEinstellungen& einstellungen)
    : QDialog(parent), m_report(*parent), m_maxSeiten(maxSeiten), m_einstellungen(einstellungen)
{
    setObjectName(QStringLiteral("frmDrucken"));
    setWindowTitle(QStringLiteral("Drucken"));
    setModal(false);

    auto* label1 = new QLabel(QStringLiteral("Drucker:"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));

    auto* frame1 = new QGroupBox(QStringLiteral("Druckbereich:"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    m_option1[0] = new QRadioButton(QStringLiteral("&Alles"), frame1);
    m_option1[0]->setObjectName(QStringLiteral("Option1_0"));
    m_option1[1] = new QRadioButton(QStringLiteral("S&eiten"), frame1);
    m_option1[1]->setObjectName(QStringLiteral("Option1_1"));
    const char* beschriftung[] = {"&Von:", "&Bis:", "&Exemplare:"};
    QLabel* labels[3];
    for (int i = 0; i < 3; ++i) {
        m_text1[i] = new QLineEdit(this);
        m_text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
        m_text1[i]->installEventFilter(this);
        labels[i] = new QLabel(QString::fromUtf8(beschriftung[i]), this);
        labels[i]->setObjectName(QStringLiteral("Label%1").arg(i + 3));
        labels[i]->setBuddy(m_text1[i]);
    }
    // Typing a page number chooses the range.
    for (int i = 0; i < 2; ++i)
        connect(m_text1[i], &QLineEdit::textEdited, this,
                [this] { m_option1[1]->setChecked(true); });
    m_check1 = new QCheckBox(QStringLiteral("Kopien s&ortieren"), this);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_command1 = new QPushButton(QStringLiteral("OK"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    m_command2 = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    connect(m_command1, &QPushButton::clicked, this, &frmDrucken::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &QDialog::reject);

    auto* bereich = new QGridLayout(frame1);
    bereich->addWidget(m_option1[0], 0, 0, 1, 4);
    bereich->addWidget(m_option1[1], 1, 0);
    bereich->addWidget(labels[0], 1, 1);
    bereich->addWidget(m_text1[0], 1, 2);
    bereich->addWidget(labels[1], 1, 3);
    bereich->addWidget(m_text1[1], 1, 4);
    auto* drucker = new QHBoxLayout;
    drucker->addWidget(label1);
    drucker->addWidget(m_label2, 1);
    auto* kopien = new QHBoxLayout;
    kopien->addWidget(labels[2]);
    kopien->addWidget(m_text1[2]);
    kopien->addSpacing(12);
    kopien->addWidget(m_check1);
    kopien->addStretch(1);
    auto* knoepfe = new QHBoxLayout;
    knoepfe->addStretch(1);
    knoepfe->addWidget(m_command1);
    knoepfe->addWidget(m_command2);
    auto* alles = new QVBoxLayout(this);
    alles->addLayout(drucker);
    alles->addWidget(frame1);
    alles->addLayout(kopien);
    alles->addLayout(knoepfe);
    for (QLineEdit* feld : m_text1)
        feld->setFixedWidth(feld->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);

    // A stored placement that cannot be read is reported; the fields are
    // filled all the same, so that the dialog still prints what it shows.
    vorsa::guarded(m_report.reporter(), QStringLiteral("Form_Load"),
                   [&] { vorsa::FensterLageLaden(this, ProgrammTitel); });
    vorsa::guarded(m_report.reporter(), QStringLiteral("Form_Load"), [&] {
        m_label2->setText(m_report.drucker().vorhanden()
                              ? m_report.drucker().geraetename()
                              : QStringLiteral("(kein Drucker eingerichtet)"));
        m_text1[0]->setText(QStringLiteral("1"));
        m_text1[1]->setText(QString::number(m_maxSeiten));
        m_text1[2]->setText(QString::number(m_einstellungen.Copies));
        m_option1[0]->setChecked(true);
        m_check1->setChecked(m_einstellungen.Sorted);
    });
}

frmDrucken::~frmDrucken() = default;

bool frmDrucken::eventFilter(QObject* objekt, QEvent* ereignis)
{
    const auto it = std::find(std::begin(m_text1), std::end(m_text1), objekt);
    if (it == std::end(m_text1))
        return QDialog::eventFilter(objekt, ereignis);
    const int index = int(it - std::begin(m_text1));
    QLineEdit* feld = *it;
    switch (ereignis->type()) {
    case QEvent::KeyPress: {
        const auto* taste = static_cast<QKeyEvent*>(ereignis);
        // Enter prints ("OK" is the default button) from within the field:
        // the field is left first, as a click on "OK" leaves it.
        if (taste->key() == Qt::Key_Return || taste->key() == Qt::Key_Enter) {
            feldVerlassen(index);
            return false;
        }
        const QString text = taste->text();
        if (text.size() != 1 ||
            (taste->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
            return false; // shortcuts, cursor and editing keys
        const int start = feld->hasSelectedText() ? feld->selectionStart() : feld->cursorPosition();
        const int laenge = int(feld->selectedText().size());
        const auto r = vorsa::TastePruefenZahl(feld->text(), start, laenge, text.at(0),
                                               vorkomma(index), 0, feld->isReadOnly());
        if (r.decision != vorsa::KeyDecision::Rejected)
            return false;
        if (r.text != feld->text())
            feld->setText(r.text);
        feld->setSelection(r.selStart, r.selLength);
        m_report.desktop().beep();
        return true;
    }
    case QEvent::FocusIn:
        // A click would undo the selection: select after it.
        if (static_cast<QFocusEvent*>(ereignis)->reason() == Qt::MouseFocusReason)
            QTimer::singleShot(0, feld, &QLineEdit::selectAll);
        else
            feld->selectAll();
        return false;
    case QEvent::FocusOut:
        feldVerlassen(index);
        return false;
    default:
        return false;
    }
}

void frmDrucken::feldVerlassen(int index)
{
    QLineEdit* feld = m_text1[index];
    if (index < 2) {
        if (wert(feld) > m_maxSeiten)
            feld->setText(QString::number(m_maxSeiten));
    } else if (wert(feld) < 1) {
        feld->setText(QStringLiteral("1"));
    }
}

void frmDrucken::Command1_Click()
{
    vorsa::guarded(m_report.reporter(), QStringLiteral("Command1_Click"), [&] {
        const bool bereich = m_option1[1]->isChecked();
        if (bereich && wert(m_text1[1]) < wert(m_text1[0])) {
            m_report.reporter().message(QStringLiteral("Falsche Seitenangaben"),
                                        QStringLiteral("Fehler"), vorsa::MessageIcon::Warning);
            m_text1[0]->setFocus(Qt::OtherFocusReason);
            return;
        }
        const qint64 von = bereich ? wert(m_text1[0]) : 1;
        const qint64 bis = bereich ? wert(m_text1[1]) : m_maxSeiten;
        m_report.Drucken(druckReihenfolge(von, bis, wert(m_text1[2]), m_check1->isChecked()));
        accept();
    });
}

void frmDrucken::done(int ergebnis)
{
    if (!m_gespeichert) {
        m_gespeichert = true;
        vorsa::guarded(m_report.reporter(), QStringLiteral("Form_Unload"),
                       [&] { vorsa::FensterLageSpeichern(this, ProgrammTitel); });
    }
    QDialog::done(ergebnis);
}

} // namespace OrvoReport2

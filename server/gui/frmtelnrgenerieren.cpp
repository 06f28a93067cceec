#include "frmtelnrgenerieren.h"

#include "index/recordsetmodel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>

namespace vorsa {

namespace {
// Layout in twips of the original form; one pixel is 15 twips.
constexpr int px(int twips)
{
    return twips / 15;
}
} // namespace

frmTelNrGenerieren::frmTelNrGenerieren(const QString& programDir, IReporter& reporter,
                                       QWidget* parent)
    : QDialog(parent), m_logic(programDir, reporter, *this)
{
    setObjectName(QStringLiteral("frmTelNrGenerieren"));
    setWindowTitle(QStringLiteral("Telefonnummern generieren"));
    resize(px(10335), px(5625));

    m_command1 = new QPushButton(TelNrGenerieren::startCaption(), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(px(90), px(120), px(2955), px(375));
    m_command1->setAutoDefault(false);
    connect(m_command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setGeometry(px(3165), px(120), px(7050), px(375));
    m_progressBar1->setVisible(false);

    m_dataGrid1 = new QTableView(this);
    m_dataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    m_dataGrid1->setGeometry(px(90), px(660), px(10155), px(4875));
    m_dataGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_dataGrid1->verticalHeader()->setDefaultSectionSize(m_dataGrid1->fontMetrics().height() + 4);

    m_model = new RecordsetModel(this);

    m_logic.load();
    m_freshLoad = true;
}

frmTelNrGenerieren::~frmTelNrGenerieren()
{
    m_logic.unload();
}

void frmTelNrGenerieren::setApplication(const QString& application)
{
    m_logic.setApplication(application);
}

int frmTelNrGenerieren::exec()
{
    // Opened again after closing: a fresh connection, as on first opening.
    // The load of the construction counts for the first opening, also when
    // it failed (its message was shown once).
    const bool fresh = m_freshLoad;
    m_freshLoad = false;
    if (!fresh && !m_logic.isLoaded()) {
        setStartButton(TelNrGenerieren::startCaption(), true);
        m_progressBar1->setVisible(false);
        m_logic.load();
    }
    return QDialog::exec();
}

void frmTelNrGenerieren::done(int result)
{
    if (m_logic.isBuilding())
        return;
    m_logic.unload();
    QDialog::done(result);
}

void frmTelNrGenerieren::reject()
{
    if (m_logic.isBuilding())
        return;
    QDialog::reject();
}

void frmTelNrGenerieren::closeEvent(QCloseEvent* event)
{
    // The build works on this window's connection; it has to finish first.
    if (m_logic.isBuilding()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmTelNrGenerieren::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // The grid takes what the window gives beyond the original size.
    m_dataGrid1->resize(qMax(px(10155), width() - px(90) - px(90)),
                        qMax(px(4875), height() - px(660) - px(90)));
}

void frmTelNrGenerieren::Command1_Click()
{
    m_logic.command1Click();
}

void frmTelNrGenerieren::setProgressMinimum(int value)
{
    m_progressBar1->setMinimum(value);
}

void frmTelNrGenerieren::setProgressMaximum(int value)
{
    m_progressBar1->setMaximum(value);
}

void frmTelNrGenerieren::setProgressValue(int value)
{
    m_progressBar1->setValue(value);
}

void frmTelNrGenerieren::setProgressVisible(bool visible)
{
    m_progressBar1->setVisible(visible);
}

void frmTelNrGenerieren::refreshGrid()
{
    if (m_dataGrid1->model() == m_model)
        m_model->reset();
}

void frmTelNrGenerieren::unbindGrid()
{
    m_dataGrid1->setModel(nullptr);
    m_model->setRecordset(nullptr);
}

void frmTelNrGenerieren::bindGrid()
{
    m_model->setRecordset(m_logic.indexRecordset());
    m_dataGrid1->setModel(m_model);
}

void frmTelNrGenerieren::processEvents()
{
    QCoreApplication::processEvents();
}

void frmTelNrGenerieren::setStartButton(const QString& caption, bool enabled)
{
    m_command1->setText(caption);
    m_command1->setEnabled(enabled);
}

} // namespace vorsa

#pragma once

#include "index/indexbuildview.h"
#include "index/telnrgenerieren.h"

#include <QDialog>

class QProgressBar;
class QPushButton;
class QTableView;

namespace vorsa {

class IReporter;
class RecordsetModel;

// The number index window "Telefonnummern generieren": the start button
// Command1, the progress bar ProgressBar1 (hidden until a build has records)
// and the grid DataGrid1 showing the window's result set over the index table.
// The window's logic is TelNrGenerieren; this class only maps it to widgets.
// It cannot be closed while a build runs.
class frmTelNrGenerieren : public QDialog, private IIndexWindow {
    Q_OBJECT
public:
    frmTelNrGenerieren(const QString& programDir, IReporter& reporter, QWidget* parent = nullptr);
    ~frmTelNrGenerieren() override;

    // The source kind ("KUNDEN" or "DROVO", any letter case); set before exec().
    void setApplication(const QString& application);

    TelNrGenerieren& logic() { return m_logic; }

public slots:
    int exec() override;
    void done(int result) override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool m_freshLoad = false; // loaded by the constructor, not yet opened
    void Command1_Click();

    // IIndexWindow
    void setProgressMinimum(int value) override;
    void setProgressMaximum(int value) override;
    void setProgressValue(int value) override;
    void setProgressVisible(bool visible) override;
    void refreshGrid() override;
    void unbindGrid() override;
    void bindGrid() override;
    void processEvents() override;
    void setStartButton(const QString& caption, bool enabled) override;

    TelNrGenerieren m_logic;
    QPushButton* m_command1 = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
    QTableView* m_dataGrid1 = nullptr;
    RecordsetModel* m_model = nullptr;
};

} // namespace vorsa

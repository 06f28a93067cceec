#pragma once

#include "reportdokument.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace OrvoReport2 {

class mdiReport;

// The print dialog "Drucken": printer, all pages or a range, copies and
// collation; "OK" prints on the report's printer, "Abbrechen" closes. It
// keeps its state and position per user.
class frmDrucken : public QDialog {
    Q_OBJECT
public:
    // Placement, then the fields from the report's settings: range 1 to
    // maxSeiten, "&Alles", the copies and their collation.
    frmDrucken(mdiReport* parent, qint32 maxSeiten, const DruckEinstellungen& einstellungen);
    ~frmDrucken() override;

    // "OK": checks the range, prints and closes; a reversed range only says
    // "Falsche Seitenangaben".
    void Command1_Click();

    QLabel* label2() const { return m_label2; }
    QRadioButton* option1(int index) const { return m_option1[index]; }
    QLineEdit* text1(int index) const { return m_text1[index]; }
    QCheckBox* check1() const { return m_check1; }
    QPushButton* command1() const { return m_command1; }
    QPushButton* command2() const { return m_command2; }

    void done(int ergebnis) override;

protected:
    bool eventFilter(QObject* objekt, QEvent* ereignis) override;

private:
    void feldVerlassen(int index);

    mdiReport& m_report;
    qint32 m_maxSeiten;
    DruckEinstellungen m_einstellungen;
    QLabel* m_label2 = nullptr;
    QRadioButton* m_option1[2] = {};
    QLineEdit* m_text1[3] = {};
    QCheckBox* m_check1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    bool m_gespeichert = false;
};

} // namespace OrvoReport2

#pragma once

#include "hostedcontrol.h"
#include "orvotoolbstamm_export.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLineEdit;
class QToolBar;

// The command bar of master-data forms: record navigation, new / edit / save /
// undo, delete with confirmation, a switch between table view and detail view
// with a search box, refresh, print, screen print, and a tenant selector bound
// to the tenant table of the host's database. It keeps the buttons consistent
// with the edit state and reports every command to the host as an event; the
// host decides what each command does.
//
// Children: the button bar "Toolbar1" (a QToolBar whose actions carry the
// button keys as object names), the tenant list "cboMandant" over the
// placeholder "DataCombo", and the search box "txtSuchen" over the placeholder
// "txtSuchen" in table view. The tenant list reads the table RowMember
// (default "TMandanten") of the Qt SQL connection named by RowSource, which the
// host opens; it shows ListField and binds BoundColumn.
//
// Hosts create it by its class name "uscToolbStamm" (QUiLoader with the
// Designer plugin folder) or link the library. The Cancel parameters of the
// ButtonClick… events are references a directly connected host may set.
class ORVOTOOLBSTAMM_EXPORT uscToolbStamm : public orvo::HostedControl {
    Q_OBJECT

    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor RESET resetBackColor)
    Q_PROPERTY(QColor ForeColor READ ForeColor WRITE setForeColor RESET resetForeColor)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabledProperty)
    Q_PROPERTY(QFont Font READ Font WRITE setFontProperty RESET resetFontProperty)
    Q_PROPERTY(bool ButtonEnde READ ButtonEnde WRITE setButtonEnde)
    Q_PROPERTY(bool ButtonData READ ButtonData WRITE setButtonData)
    Q_PROPERTY(bool ButtonList READ ButtonList WRITE setButtonList)
    Q_PROPERTY(bool ButtonNew READ ButtonNew WRITE setButtonNew)
    Q_PROPERTY(bool ButtonProp READ ButtonProp WRITE setButtonProp)
    Q_PROPERTY(bool ButtonSave READ ButtonSave WRITE setButtonSave)
    Q_PROPERTY(bool ButtonUndo READ ButtonUndo WRITE setButtonUndo)
    Q_PROPERTY(bool ButtonDelete READ ButtonDelete WRITE setButtonDelete)
    Q_PROPERTY(bool ButtonRefresh READ ButtonRefresh WRITE setButtonRefresh)
    Q_PROPERTY(bool ButtonPrint READ ButtonPrint WRITE setButtonPrint)
    Q_PROPERTY(bool ButtonPrintScreen READ ButtonPrintScreen WRITE setButtonPrintScreen)
    Q_PROPERTY(bool ButtonMandantLock READ ButtonMandantLock WRITE setButtonMandantLock)
    Q_PROPERTY(QString ListField READ ListField WRITE setListField)
    Q_PROPERTY(QString BoundColumn READ BoundColumn WRITE setBoundColumn)
    Q_PROPERTY(QString RowMember READ RowMember WRITE setRowMember)
    Q_PROPERTY(QString RowSource READ RowSource WRITE setRowSource)
    Q_PROPERTY(QString BoundText READ BoundText WRITE setBoundText NOTIFY BoundTextChanged)
    // Set by the Designer plugin on a control just dropped from the widget box;
    // never stored in a form.
    Q_PROPERTY(bool designerNewInstance READ designerNewInstance WRITE setDesignerNewInstance
                   DESIGNABLE false STORED false)

public:
    explicit uscToolbStamm(QWidget* parent = nullptr);
    ~uscToolbStamm() override;

    QColor BackColor() const;
    void setBackColor(const QColor& value);
    void resetBackColor(); // the system's colour of button faces
    QColor ForeColor() const;
    void setForeColor(const QColor& value);
    void resetForeColor(); // the system's colour of button text
    bool Enabled() const;  // of Toolbar1
    void setEnabledProperty(bool value);
    QFont Font() const;
    void setFontProperty(const QFont& value);
    void resetFontProperty(); // the host's font

    // Writing a flag applies it at once, whatever the edit state.
    bool ButtonEnde() const;
    void setButtonEnde(bool value);
    bool ButtonData() const;
    void setButtonData(bool value);
    bool ButtonList() const;
    void setButtonList(bool value);
    bool ButtonNew() const;
    void setButtonNew(bool value);
    bool ButtonProp() const;
    void setButtonProp(bool value);
    bool ButtonSave() const;
    void setButtonSave(bool value);
    bool ButtonUndo() const;
    void setButtonUndo(bool value);
    bool ButtonDelete() const;
    void setButtonDelete(bool value);
    bool ButtonRefresh() const;
    void setButtonRefresh(bool value);
    bool ButtonPrint() const;
    void setButtonPrint(bool value);
    bool ButtonPrintScreen() const;
    void setButtonPrintScreen(bool value);
    bool ButtonMandantLock() const;
    void setButtonMandantLock(bool value);

    // The tenant list: shown column, bound column, table, the name of the Qt
    // SQL connection (writing it, even unchanged, reads the list again) and
    // the bound value of the chosen tenant.
    QString ListField() const;
    void setListField(const QString& value);
    QString BoundColumn() const;
    void setBoundColumn(const QString& value);
    QString RowMember() const;
    void setRowMember(const QString& value);
    QString RowSource() const;
    void setRowSource(const QString& value);
    QString BoundText() const;
    void setBoundText(const QString& value);

    Q_INVOKABLE void Refresh();
    Q_INVOKABLE void SetFocusToSuchen();
    // Runs the command of the button with that key as a click does, without
    // ButtonClick and whatever the button's enabled state.
    Q_INVOKABLE void Toolbar_ButtonClick(const QString& Button);

    void WriteProperties(orvo::PropertyBag& bag) const override;
    void ReadProperties(const orvo::PropertyBag& bag) override;
    void InitProperties() override;

    // The button with that key (object name), nullptr for none.
    Q_INVOKABLE QAction* Buttons(const QString& key) const;
    QToolBar* Toolbar1() const;
    QComboBox* cboMandant() const;
    QLineEdit* txtSuchen() const;
    bool ListenAnsichtOn() const; // the table view is on

    // How "PrintScreen" prints the host window; by default on the default
    // printer. A printer that is not there raises 482.
    using FormPrinter = std::function<void(QWidget* window)>;
    void setFormPrinter(FormPrinter printer);
    static void printOnDefaultPrinter(QWidget* window);

    bool designerNewInstance() const;
    void setDesignerNewInstance(bool value);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void ListenAnsicht(bool ListenAnsicht);
    void ButtonClick(QAction* Button);
    void ButtonClickAddNew(bool& Cancel);
    void ButtonClickSave(bool& Cancel);
    void ButtonClickBearbeiten(bool& Cancel);
    void ButtonClickUndo(bool& Cancel);
    void ButtonClickMandantChange(qint16 SelectedItem, qint16 NeuerMandant);
    void ButtonClickDelete();
    void ButtonClickMoveFirst();
    void ButtonClickMovePrevious();
    void ButtonClickMoveNext();
    void ButtonClickMoveLast();
    void ButtonClickListenansicht();
    void ButtonClickRefresh();
    void ButtonClickBelegDruck();
    void ButtonClickPrintScreen();
    void Click();
    void DblClick();
    void KeyDown(qint16& KeyCode, qint16& Shift);
    void KeyPress(qint16& KeyAscii);
    void KeyUp(qint16& KeyCode, qint16& Shift);
    void MouseDown(qint16 Button, qint16 Shift, float x, float y);
    void MouseMove(qint16 Button, qint16 Shift, float x, float y);
    void MouseUp(qint16 Button, qint16 Shift, float x, float y);
    void SuchenChange(QString& Text);
    void BoundTextChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

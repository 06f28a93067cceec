#pragma once

#include "hostedcontrol.h"
#include "orvotextbox_export.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <functional>
#include <memory>

class QLineEdit;

// The masked text box: one line of text typed as free text, upper-case text,
// a number, a grouped number, a date or a time of day. It filters keys while
// the user types, completes and normalises the input when the field loses the
// focus, and converts dates between the display form dd.mm.yyyy and the
// storage form yyyy/mm/dd. Its inner edit box "Text1" fills the control; the
// pass-through properties act on it. Numbers and dates are German whatever the
// desktop's locale is.
//
// Hosts create it by its class name "uscTextBox" (QUiLoader with the Designer
// plugin folder) or link the library. Properties, the method Refresh and the
// events (signals with the parameters of the family's hosts) are reachable
// through the meta-object system; the by-reference parameters of KeyDown,
// KeyPress and KeyUp may be changed by a directly connected host (KeyAscii 0:
// nothing is typed; KeyCode 0 in KeyDown: a key that types no character, such
// as Delete or an arrow key, is ignored).
class ORVOTEXTBOX_EXPORT uscTextBox : public orvo::HostedControl {
    Q_OBJECT

public:
    enum enumDatenTyp : int {
        NormalText = 0,
        UpperText = 1,
        Nummer = 2,
        Zahl = 3,
        Datum = 4,
        Uhrzeit = 5,
    };
    Q_ENUM(enumDatenTyp)
    enum enumAlignment : int { Links = 0, Rechts = 1, Zentriert = 2 };
    Q_ENUM(enumAlignment)
    enum enumBorderStyle : int { Kein = 0, Fest = 1 };
    Q_ENUM(enumBorderStyle)

    // Declared so that a form file lists the type before the text it converts.
    Q_PROPERTY(enumAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(int Appearance READ Appearance STORED false)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor RESET resetBackColor)
    Q_PROPERTY(enumBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)
    Q_PROPERTY(int DatenNachkomma READ DatenNachkomma WRITE setDatenNachkomma)
    Q_PROPERTY(enumDatenTyp DatenTyp READ DatenTyp WRITE setDatenTyp)
    Q_PROPERTY(int DatenVorkomma READ DatenVorkomma WRITE setDatenVorkomma)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabledProperty)
    Q_PROPERTY(QFont Font READ Font WRITE setFontProperty RESET resetFontProperty)
    Q_PROPERTY(QColor ForeColor READ ForeColor WRITE setForeColor RESET resetForeColor)
    Q_PROPERTY(QString LinkItem READ LinkItem WRITE setLinkItem)
    Q_PROPERTY(int LinkMode READ LinkMode WRITE setLinkMode)
    Q_PROPERTY(int LinkTimeout READ LinkTimeout WRITE setLinkTimeout)
    Q_PROPERTY(QString LinkTopic READ LinkTopic WRITE setLinkTopic)
    Q_PROPERTY(bool Locked READ Locked WRITE setLocked)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE setMaxLength)
    Q_PROPERTY(QPixmap MouseIcon READ MouseIcon WRITE setMouseIcon)
    Q_PROPERTY(int MousePointer READ MousePointer WRITE setMousePointer)
    Q_PROPERTY(int OLEDragMode READ OLEDragMode WRITE setOLEDragMode)
    Q_PROPERTY(int OLEDropMode READ OLEDropMode WRITE setOLEDropMode)
    Q_PROPERTY(QString PasswordChar READ PasswordChar WRITE setPasswordChar)
    Q_PROPERTY(bool RightToLeft READ RightToLeft WRITE setRightToLeft)
    Q_PROPERTY(QString Text READ Text WRITE setText NOTIFY Change USER true)
    // Set by the Designer plugin on a control just dropped from the widget box;
    // never stored in a form.
    Q_PROPERTY(bool designerNewInstance READ designerNewInstance WRITE setDesignerNewInstance
                   DESIGNABLE false STORED false)

    explicit uscTextBox(QWidget* parent = nullptr);
    ~uscTextBox() override;

    // 16-bit properties take values from -32768 to 32767; others are clamped.
    enumAlignment Alignment() const;
    void setAlignment(enumAlignment value);
    int Appearance() const; // 1: three-dimensional
    QColor BackColor() const;
    void setBackColor(const QColor& value);
    void resetBackColor(); // the system's colour of window backgrounds
    enumBorderStyle BorderStyle() const;
    void setBorderStyle(enumBorderStyle value);
    int DatenNachkomma() const;
    void setDatenNachkomma(int value);
    enumDatenTyp DatenTyp() const;
    void setDatenTyp(enumDatenTyp value); // values outside 0-5 are kept, without filtering
    int DatenVorkomma() const;
    void setDatenVorkomma(int value);
    bool Enabled() const;
    void setEnabledProperty(bool value);
    QFont Font() const;
    void setFontProperty(const QFont& value);
    void resetFontProperty(); // the host's font
    QColor ForeColor() const;
    void setForeColor(const QColor& value);
    void resetForeColor(); // the system's colour of window text
    QString LinkItem() const;
    void setLinkItem(const QString& value);
    int LinkMode() const;
    void setLinkMode(int value);
    int LinkTimeout() const;
    void setLinkTimeout(int value);
    QString LinkTopic() const;
    void setLinkTopic(const QString& value);
    bool Locked() const;
    void setLocked(bool value);
    int MaxLength() const; // 0: no limit
    void setMaxLength(int value);
    QPixmap MouseIcon() const;
    void setMouseIcon(const QPixmap& value);
    int MousePointer() const; // 0 default, 1 arrow, 2 cross, 3 I-beam, ... 99 MouseIcon
    void setMousePointer(int value);
    int OLEDragMode() const;
    void setOLEDragMode(int value);
    int OLEDropMode() const;
    void setOLEDropMode(int value);
    QString PasswordChar() const; // "" or one character
    void setPasswordChar(const QString& value);
    bool RightToLeft() const;
    void setRightToLeft(bool value);
    // The text converted by type (storage form of a date, normalised time,
    // formatted number); written, converted the other way.
    QString Text() const;
    void setText(const QString& value);

    Q_INVOKABLE void Refresh();

    void WriteProperties(orvo::PropertyBag& bag) const override;
    void ReadProperties(const orvo::PropertyBag& bag) override;
    void InitProperties() override;

    // The inner edit box "Text1".
    QLineEdit* Text1() const;
    // Where "today" comes from for date completion (tests set their own).
    void setClock(std::function<QDateTime()> clock);

    bool designerNewInstance() const;
    void setDesignerNewInstance(bool value);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void Click();
    void DblClick();
    void KeyDown(qint16& KeyCode, qint16& Shift);
    void KeyPress(qint16& KeyAscii);
    void KeyUp(qint16& KeyCode, qint16& Shift);
    void MouseDown(qint16 Button, qint16 Shift, float x, float Y);
    void MouseMove(qint16 Button, qint16 Shift, float x, float Y);
    void MouseUp(qint16 Button, qint16 Shift, float x, float Y);
    void Change();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class TextBoxEdit;
    struct Private;
    std::unique_ptr<Private> d;
};

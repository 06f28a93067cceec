#include "usctextbox.h"

#include "controlevents.h"
#include "desktop.h"
#include "numberkeyfilter.h"
#include "reporter.h"
#include "textboxlogic.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <optional>

using namespace orvo;
using namespace orvo::textbox;

namespace {

int clamp16(int value)
{
    return std::clamp(value, -32768, 32767);
}

QString withoutTrailingBlanks(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end);
}

// Shows the password character of the control instead of the style's own.
class PasswordStyle : public QProxyStyle {
public:
    QChar character;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter && !character.isNull())
            return character.unicode();
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

Qt::CursorShape cursorShape(int mousePointer)
{
    switch (mousePointer) {
    case 2:
        return Qt::CrossCursor;
    case 3:
        return Qt::IBeamCursor;
    case 5:
    case 15:
        return Qt::SizeAllCursor;
    case 6:
        return Qt::SizeBDiagCursor;
    case 7:
        return Qt::SizeVerCursor;
    case 8:
        return Qt::SizeFDiagCursor;
    case 9:
        return Qt::SizeHorCursor;
    case 10:
        return Qt::UpArrowCursor;
    case 11:
        return Qt::WaitCursor;
    case 12:
        return Qt::ForbiddenCursor;
    case 13:
        return Qt::BusyCursor;
    case 14:
        return Qt::WhatsThisCursor;
    default:
        return Qt::ArrowCursor;
    }
}

// The box that gets the focus back after a failed date check: while it does,
// no other text box checks its own date on losing the focus.
QPointer<QWidget> s_focusReturning;

} // namespace

// The inner edit box: hands its key, mouse and focus events to the control.
class TextBoxEdit : public QLineEdit {
public:
    TextBoxEdit(uscTextBox* control) : QLineEdit(control), m_control(control) {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    uscTextBox* m_control;
    bool m_afterDoubleClick = false;
};

struct uscTextBox::Private {
    uscTextBox* q;
    TextBoxEdit* edit = nullptr;
    PasswordStyle* passwordStyle = nullptr;

    enumDatenTyp datenTyp = NormalText;
    int datenVorkomma = 0;
    int datenNachkomma = 0;
    QString letzterText;
    bool changeFlag = false; // the edit box's: on at every change, never off
    bool designerNewInstance = false;

    enumAlignment alignment = Links;
    enumBorderStyle borderStyle = Fest;
    std::optional<QColor> backColor;
    std::optional<QColor> foreColor;
    QString linkItem;
    int linkMode = 0;
    int linkTimeout = 50;
    QString linkTopic;
    int maxLength = 0;
    QPixmap mouseIcon;
    int mousePointer = 0;
    int oleDragMode = 0;
    int oleDropMode = 0;
    QString passwordChar;
    bool rightToLeft = false;

    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    QDate today() const { return clock().date(); }
    int frameWidth() const
    {
        return borderStyle == Fest
                   ? q->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, q)
                   : 0;
    }
    void layout()
    {
        const int fw = frameWidth();
        const QRect inner = q->rect().adjusted(fw, fw, -fw, -fw);
        edit->setGeometry(inner.x(), inner.y(), std::max(0, inner.width() - twipsToPixels(35)),
                          std::max(0, inner.height()));
    }
    void applyColors()
    {
        QPalette inner;
        if (backColor)
            inner.setColor(QPalette::Base, *backColor);
        if (foreColor)
            inner.setColor(QPalette::Text, *foreColor);
        edit->setPalette(inner);
        // The control's own surface shows the edit box's background.
        QPalette outer;
        outer.setColor(QPalette::Window, edit->palette().color(QPalette::Active, QPalette::Base));
        q->setPalette(outer);
        q->setAutoFillBackground(true);
    }
    void applyAlignment()
    {
        Qt::Alignment a = Qt::AlignLeft;
        if (alignment == Rechts)
            a = Qt::AlignRight;
        else if (alignment == Zentriert)
            a = Qt::AlignHCenter;
        edit->setAlignment(a | Qt::AlignVCenter);
    }
    void applyCursor()
    {
        if (mousePointer == 0)
            edit->unsetCursor();
        else if (mousePointer == 99 && !mouseIcon.isNull())
            edit->setCursor(QCursor(mouseIcon));
        else
            edit->setCursor(cursorShape(mousePointer));
    }
    void applyPasswordChar()
    {
        if (passwordChar.isEmpty()) {
            edit->setEchoMode(QLineEdit::Normal);
            return;
        }
        if (!passwordStyle || passwordStyle->character != passwordChar.at(0)) {
            // The edit box takes the character when it gets its style.
            auto* style = new PasswordStyle;
            style->character = passwordChar.at(0);
            style->setParent(q);
            edit->setStyle(style);
            delete passwordStyle;
            passwordStyle = style;
        }
        edit->setEchoMode(QLineEdit::Password);
    }
    void setEditText(const QString& text)
    {
        if (edit->text() != text)
            edit->setText(text);
    }
    void setSelection(int start, int length)
    {
        if (length > 0)
            edit->setSelection(start, length);
        else
            edit->setCursorPosition(start);
    }
    int selStart() const
    {
        return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    }
    int selLength() const { return edit->hasSelectedText() ? int(edit->selectedText().size()) : 0; }
    void beep(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            q->desktop().beep();
    }

    // The key filter of the type; returns the character to type (0: none).
    QChar filterKey(QChar c)
    {
        switch (datenTyp) {
        case UpperText:
            return upperWin1252(c);
        case Nummer:
        case Zahl: {
            const vorsa::NumberKeyResult r =
                vorsa::TastePruefenZahl(edit->text(), selStart(), selLength(), c, datenVorkomma,
                                        datenNachkomma, edit->isReadOnly());
            if (r.decision == vorsa::KeyDecision::Rejected) {
                setEditText(r.text);
                setSelection(r.selStart, r.selLength);
            }
            if (r.beep)
                beep();
            return r.keyAscii;
        }
        case Datum:
            if (TastePruefenDatum(c))
                return c;
            beep();
            return QChar(0);
        case Uhrzeit:
            if (TastePruefenUhrzeit(c))
                return c;
            beep();
            return QChar(0);
        default:
            return c;
        }
    }

    // A typed character: filtered, handed to the host, typed as it then is.
    // Returns true when the original key event is to be typed by the edit box.
    bool typeCharacter(QChar c)
    {
        const QChar filtered = filterKey(c);
        qint16 ascii = keyAscii(filtered);
        QPointer<uscTextBox> alive(q);
        emit q->KeyPress(ascii);
        if (!alive || ascii == 0)
            return false;
        if (ascii == keyAscii(c))
            return true;
        // Another character from the filter or the host is typed in its place
        // (a locked box types nothing).
        const QChar replacement = fromKeyAscii(ascii);
        if (replacement.unicode() >= 32 && !edit->isReadOnly())
            edit->insert(QString(replacement));
        return false;
    }

    void dateAid()
    {
        const DateAidResult r = DatumEingabeHilfe(edit->text(), selStart(), letzterText, today());
        if (!r.acted)
            return;
        setEditText(r.text);
        setSelection(r.selStart, r.selLength);
    }

    void focusLost()
    {
        const QString text = edit->text();
        switch (datenTyp) {
        case NormalText:
        case UpperText:
            setEditText(withoutTrailingBlanks(text));
            break;
        case Nummer:
            setEditText(FormatNummer(text, datenNachkomma));
            break;
        case Zahl:
            setEditText(FormatZahl(text, datenNachkomma));
            break;
        case Datum: {
            if (text.isEmpty() || !changeFlag)
                break;
            const QString completed = DatumErgaenzen(text, today());
            setEditText(completed);
            if (!DatumPruefen(completed)) {
                q->reporter().message(QStringLiteral("Ungültiges Datumsformat! (tt.mm.yyyy)"),
                                      QStringLiteral("Falsche Eingabe"),
                                      vorsa::MessageIcon::Warning);
                returnFocus();
            }
            break;
        }
        case Uhrzeit: {
            int beeps = 0;
            setEditText(UhrzeitNormieren(text, &beeps));
            beep(beeps);
            break;
        }
        }
    }

    void returnFocus()
    {
        s_focusReturning = edit;
        QPointer<QLineEdit> target(edit);
        QMetaObject::invokeMethod(
            edit,
            [target] {
                if (target)
                    target->setFocus(Qt::OtherFocusReason);
                s_focusReturning = nullptr;
            },
            Qt::QueuedConnection);
    }
};

// ---- the inner edit box ----

void TextBoxEdit::keyPressEvent(QKeyEvent* event)
{
    QPointer<uscTextBox> alive(m_control);
    const qint16 pressed = vbKeyCode(event);
    qint16 keyCode = pressed;
    qint16 shift = vbShift(event->modifiers());
    emit m_control->KeyDown(keyCode, shift);
    if (!alive)
        return;
    // A character key: a printable character or one of the control
    // characters (Backspace, Enter, Esc, Ctrl + letter); Delete is none.
    const QString text = event->text();
    if (text.size() != 1 || text.at(0).unicode() == 0x7F || event->key() == Qt::Key_Delete) {
        // A host that sets KeyCode to 0 takes the key (Delete, the caret
        // keys ...): the edit box does not act on it. A character key goes
        // on to KeyPress all the same; KeyAscii 0 stops it there.
        if (pressed != 0 && keyCode == 0)
            event->accept();
        else
            QLineEdit::keyPressEvent(event);
        return;
    }
    if (m_control->d->typeCharacter(text.at(0)))
        QLineEdit::keyPressEvent(event);
    else
        event->accept();
}

void TextBoxEdit::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) {
        QLineEdit::keyReleaseEvent(event);
        return;
    }
    QPointer<uscTextBox> alive(m_control);
    if (m_control->d->datenTyp == uscTextBox::Datum)
        m_control->d->dateAid();
    qint16 keyCode = vbKeyCode(event);
    qint16 shift = vbShift(event->modifiers());
    emit m_control->KeyUp(keyCode, shift);
    if (alive)
        QLineEdit::keyReleaseEvent(event);
}

void TextBoxEdit::inputMethodEvent(QInputMethodEvent* event)
{
    // Characters composed by an input method go through the same filter.
    const QString commit = event->commitString();
    if (commit.isEmpty() || !event->preeditString().isEmpty()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QPointer<uscTextBox> alive(m_control);
    for (const QChar c : commit) {
        if (!alive)
            return;
        if (m_control->d->typeCharacter(c) && !isReadOnly())
            insert(QString(c));
    }
    event->accept();
}

void TextBoxEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    selectAll();
}

void TextBoxEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Switching to another window or opening a menu does not leave the field.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (!window()->isVisible() || (s_focusReturning && s_focusReturning != this))
        return;
    m_control->d->focusLost();
}

void TextBoxEdit::mousePressEvent(QMouseEvent* event)
{
    QPointer<uscTextBox> alive(m_control);
    m_afterDoubleClick = false;
    emit m_control->MouseDown(vbButton(event->button()), vbShift(event->modifiers()),
                              pixelsToTwips(event->position().x()),
                              pixelsToTwips(event->position().y()));
    if (alive)
        QLineEdit::mousePressEvent(event);
}

void TextBoxEdit::mouseMoveEvent(QMouseEvent* event)
{
    QPointer<uscTextBox> alive(m_control);
    emit m_control->MouseMove(vbButton(event->buttons()), vbShift(event->modifiers()),
                              pixelsToTwips(event->position().x()),
                              pixelsToTwips(event->position().y()));
    if (alive)
        QLineEdit::mouseMoveEvent(event);
}

void TextBoxEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QPointer<uscTextBox> alive(m_control);
    QLineEdit::mouseReleaseEvent(event);
    emit m_control->MouseUp(vbButton(event->button()), vbShift(event->modifiers()),
                            pixelsToTwips(event->position().x()),
                            pixelsToTwips(event->position().y()));
    if (!alive)
        return;
    if (!m_afterDoubleClick && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint()))
        emit m_control->Click();
    m_afterDoubleClick = false;
}

void TextBoxEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    QPointer<uscTextBox> alive(m_control);
    QLineEdit::mouseDoubleClickEvent(event);
    m_afterDoubleClick = true;
    if (alive)
        emit m_control->DblClick();
}

// ---- the control ----

uscTextBox::uscTextBox(QWidget* parent) : HostedControl(parent), d(std::make_unique<Private>())
{
    d->q = this;
    d->edit = new TextBoxEdit(this);
    d->edit->setObjectName(QStringLiteral("Text1"));
    d->edit->setFrame(false);
    d->edit->setMouseTracking(true);
    d->edit->setText(QStringLiteral("Text1"));
    setFocusProxy(d->edit);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    connect(d->edit, &QLineEdit::textChanged, this, [this] {
        d->changeFlag = true;
        propertyChanged(QStringLiteral("Text"));
        emit Change();
    });
    d->applyAlignment();
    d->applyColors();
    resize(sizeHint());
    d->layout();
}

uscTextBox::~uscTextBox()
{
    // The edit box goes first: when it has the focus, it loses it as it goes,
    // and that must not run the focus-loss handling of a control whose state
    // is already gone.
    delete d->edit;
}

QLineEdit* uscTextBox::Text1() const
{
    return d->edit;
}

void uscTextBox::setClock(std::function<QDateTime()> clock)
{
    d->clock = std::move(clock);
}

uscTextBox::enumAlignment uscTextBox::Alignment() const
{
    return d->alignment;
}

void uscTextBox::setAlignment(enumAlignment value)
{
    d->alignment = value;
    d->applyAlignment();
    propertyChanged(QStringLiteral("Alignment"));
}

int uscTextBox::Appearance() const
{
    return 1;
}

QColor uscTextBox::BackColor() const
{
    return d->edit->palette().color(QPalette::Active, QPalette::Base);
}

void uscTextBox::setBackColor(const QColor& value)
{
    d->backColor = value;
    d->applyColors();
    propertyChanged(QStringLiteral("BackColor"));
}

void uscTextBox::resetBackColor()
{
    d->backColor.reset();
    d->applyColors();
    propertyChanged(QStringLiteral("BackColor"));
}

uscTextBox::enumBorderStyle uscTextBox::BorderStyle() const
{
    return d->borderStyle;
}

void uscTextBox::setBorderStyle(enumBorderStyle value)
{
    d->borderStyle = value == Kein ? Kein : Fest;
    d->layout();
    update();
    propertyChanged(QStringLiteral("BorderStyle"));
}

int uscTextBox::DatenNachkomma() const
{
    return d->datenNachkomma;
}

void uscTextBox::setDatenNachkomma(int value)
{
    d->datenNachkomma = clamp16(value);
    propertyChanged(QStringLiteral("DatenNachkomma"));
}

uscTextBox::enumDatenTyp uscTextBox::DatenTyp() const
{
    return d->datenTyp;
}

void uscTextBox::setDatenTyp(enumDatenTyp value)
{
    d->datenTyp = enumDatenTyp(clamp16(int(value)));
    propertyChanged(QStringLiteral("DatenTyp"));
}

int uscTextBox::DatenVorkomma() const
{
    return d->datenVorkomma;
}

void uscTextBox::setDatenVorkomma(int value)
{
    d->datenVorkomma = clamp16(value);
    propertyChanged(QStringLiteral("DatenVorkomma"));
}

bool uscTextBox::Enabled() const
{
    return d->edit->isEnabledTo(this);
}

void uscTextBox::setEnabledProperty(bool value)
{
    d->edit->setEnabled(value);
    propertyChanged(QStringLiteral("Enabled"));
}

QFont uscTextBox::Font() const
{
    return d->edit->font();
}

void uscTextBox::setFontProperty(const QFont& value)
{
    d->edit->setFont(value);
    updateGeometry();
    propertyChanged(QStringLiteral("Font"));
}

void uscTextBox::resetFontProperty()
{
    d->edit->setFont(QFont());
    d->edit->setAttribute(Qt::WA_SetFont, false);
    updateGeometry();
    propertyChanged(QStringLiteral("Font"));
}

QColor uscTextBox::ForeColor() const
{
    return d->edit->palette().color(QPalette::Active, QPalette::Text);
}

void uscTextBox::setForeColor(const QColor& value)
{
    d->foreColor = value;
    d->applyColors();
    propertyChanged(QStringLiteral("ForeColor"));
}

void uscTextBox::resetForeColor()
{
    d->foreColor.reset();
    d->applyColors();
    propertyChanged(QStringLiteral("ForeColor"));
}

QString uscTextBox::LinkItem() const
{
    return d->linkItem;
}

void uscTextBox::setLinkItem(const QString& value)
{
    d->linkItem = value;
    propertyChanged(QStringLiteral("LinkItem"));
}

int uscTextBox::LinkMode() const
{
    return d->linkMode;
}

void uscTextBox::setLinkMode(int value)
{
    d->linkMode = clamp16(value);
    propertyChanged(QStringLiteral("LinkMode"));
}

int uscTextBox::LinkTimeout() const
{
    return d->linkTimeout;
}

void uscTextBox::setLinkTimeout(int value)
{
    d->linkTimeout = clamp16(value);
    propertyChanged(QStringLiteral("LinkTimeout"));
}

QString uscTextBox::LinkTopic() const
{
    return d->linkTopic;
}

void uscTextBox::setLinkTopic(const QString& value)
{
    d->linkTopic = value;
    propertyChanged(QStringLiteral("LinkTopic"));
}

bool uscTextBox::Locked() const
{
    return d->edit->isReadOnly();
}

void uscTextBox::setLocked(bool value)
{
    d->edit->setReadOnly(value);
    propertyChanged(QStringLiteral("Locked"));
}

int uscTextBox::MaxLength() const
{
    return d->maxLength;
}

void uscTextBox::setMaxLength(int value)
{
    d->maxLength = std::max(0, value);
    // The edit box's own limit is also its largest length.
    d->edit->setMaxLength(d->maxLength == 0 ? 32767 : std::min(d->maxLength, 32767));
    propertyChanged(QStringLiteral("MaxLength"));
}

QPixmap uscTextBox::MouseIcon() const
{
    return d->mouseIcon;
}

void uscTextBox::setMouseIcon(const QPixmap& value)
{
    d->mouseIcon = value;
    d->applyCursor();
    propertyChanged(QStringLiteral("MouseIcon"));
}

int uscTextBox::MousePointer() const
{
    return d->mousePointer;
}

void uscTextBox::setMousePointer(int value)
{
    d->mousePointer = clamp16(value);
    d->applyCursor();
    propertyChanged(QStringLiteral("MousePointer"));
}

int uscTextBox::OLEDragMode() const
{
    return d->oleDragMode;
}

void uscTextBox::setOLEDragMode(int value)
{
    d->oleDragMode = clamp16(value);
    propertyChanged(QStringLiteral("OLEDragMode"));
}

int uscTextBox::OLEDropMode() const
{
    return d->oleDropMode;
}

void uscTextBox::setOLEDropMode(int value)
{
    d->oleDropMode = clamp16(value);
    propertyChanged(QStringLiteral("OLEDropMode"));
}

QString uscTextBox::PasswordChar() const
{
    return d->passwordChar;
}

void uscTextBox::setPasswordChar(const QString& value)
{
    d->passwordChar = value.left(1);
    d->applyPasswordChar();
    propertyChanged(QStringLiteral("PasswordChar"));
}

bool uscTextBox::RightToLeft() const
{
    return d->rightToLeft;
}

void uscTextBox::setRightToLeft(bool value)
{
    d->rightToLeft = value;
    d->edit->setLayoutDirection(value ? Qt::RightToLeft : Qt::LeftToRight);
    propertyChanged(QStringLiteral("RightToLeft"));
}

QString uscTextBox::Text() const
{
    const QString text = d->edit->text();
    switch (d->datenTyp) {
    case NormalText:
    case UpperText:
        return withoutTrailingBlanks(text);
    case Nummer:
        return FormatNummer(text, d->datenNachkomma);
    case Zahl:
        return FormatZahl(text, d->datenNachkomma);
    case Datum:
        return DatumSpeicherform(text);
    case Uhrzeit: {
        int beeps = 0;
        const QString time = UhrzeitNormieren(text, &beeps);
        d->beep(beeps);
        return time;
    }
    }
    return QString();
}

void uscTextBox::setText(const QString& value)
{
    if (!CanPropertyChange(QStringLiteral("Text")))
        return;
    switch (d->datenTyp) {
    case NormalText:
    case UpperText:
        d->setEditText(withoutTrailingBlanks(value));
        break;
    case Nummer:
        d->setEditText(FormatNummer(value, d->datenNachkomma));
        break;
    case Zahl:
        d->setEditText(FormatZahl(value, d->datenNachkomma));
        break;
    case Datum:
        d->setEditText(DatumAnzeige(value));
        break;
    case Uhrzeit: {
        int beeps = 0;
        d->setEditText(UhrzeitNormieren(value, &beeps));
        d->beep(beeps);
        break;
    }
    }
    propertyChanged(QStringLiteral("Text"));
}

void uscTextBox::Refresh()
{
    d->edit->update();
}

bool uscTextBox::designerNewInstance() const
{
    return d->designerNewInstance;
}

void uscTextBox::setDesignerNewInstance(bool value)
{
    d->designerNewInstance = value;
}

void uscTextBox::InitProperties()
{
    d->borderStyle = Fest;
    d->layout();
    update();
    d->setEditText(ExtenderName());
    d->datenTyp = NormalText;
    d->datenVorkomma = 0;
    d->datenNachkomma = 0;
}

void uscTextBox::WriteProperties(PropertyBag& bag) const
{
    bag.WriteProperty(QStringLiteral("BackColor"), BackColor(),
                      palette().color(QPalette::Active, QPalette::Base));
    bag.WriteProperty(QStringLiteral("ForeColor"), ForeColor(),
                      palette().color(QPalette::Active, QPalette::Text));
    bag.WriteProperty(QStringLiteral("Enabled"), Enabled(), true);
    bag.WriteProperty(QStringLiteral("Font"), Font(), AmbientFont());
    bag.WriteProperty(QStringLiteral("BorderStyle"), int(d->borderStyle), 1);
    bag.WriteProperty(QStringLiteral("LinkItem"), d->linkItem, QString());
    bag.WriteProperty(QStringLiteral("LinkMode"), d->linkMode, 0);
    bag.WriteProperty(QStringLiteral("LinkTimeout"), d->linkTimeout, 50);
    bag.WriteProperty(QStringLiteral("LinkTopic"), d->linkTopic, QString());
    bag.WriteProperty(QStringLiteral("Locked"), Locked(), false);
    bag.WriteProperty(QStringLiteral("MaxLength"), d->maxLength, 0);
    if (!d->mouseIcon.isNull())
        bag.WriteProperty(QStringLiteral("MouseIcon"), d->mouseIcon);
    bag.WriteProperty(QStringLiteral("MousePointer"), d->mousePointer, 0);
    bag.WriteProperty(QStringLiteral("OLEDragMode"), d->oleDragMode, 0);
    bag.WriteProperty(QStringLiteral("OLEDropMode"), d->oleDropMode, 0);
    bag.WriteProperty(QStringLiteral("PasswordChar"), d->passwordChar, QString());
    bag.WriteProperty(QStringLiteral("RightToLeft"), d->rightToLeft, false);
    bag.WriteProperty(QStringLiteral("Text"), d->edit->text(), QStringLiteral("Text1"));
    bag.WriteProperty(QStringLiteral("DatenTyp"), int(d->datenTyp), 0);
    bag.WriteProperty(QStringLiteral("DatenVorkomma"), d->datenVorkomma, 0);
    bag.WriteProperty(QStringLiteral("DatenNachkomma"), d->datenNachkomma, 0);
    bag.WriteProperty(QStringLiteral("Alignment"), int(d->alignment), 0);
}

namespace {

int readInt(const PropertyBag& bag, const QString& name, int defaultValue)
{
    bool ok = false;
    const int v = bag.ReadProperty(name, defaultValue).toInt(&ok);
    return ok ? v : defaultValue;
}

bool readBool(const PropertyBag& bag, const QString& name, bool defaultValue)
{
    const QVariant v = bag.ReadProperty(name, defaultValue);
    return v.canConvert<bool>() ? v.toBool() : defaultValue;
}

QString readString(const PropertyBag& bag, const QString& name, const QString& defaultValue)
{
    const QVariant v = bag.ReadProperty(name, defaultValue);
    return v.canConvert<QString>() ? v.toString() : defaultValue;
}

std::optional<QColor> readColor(const PropertyBag& bag, const QString& name)
{
    const QVariant v = bag.ReadProperty(name);
    if (!v.isValid())
        return std::nullopt;
    const QColor c = v.value<QColor>();
    return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
}

} // namespace

void uscTextBox::ReadProperties(const PropertyBag& bag)
{
    d->backColor = readColor(bag, QStringLiteral("BackColor"));
    d->applyColors(); // the control's surface takes the edit box's background
    d->foreColor = readColor(bag, QStringLiteral("ForeColor"));
    d->applyColors();
    d->edit->setEnabled(readBool(bag, QStringLiteral("Enabled"), true));
    const QVariant font = bag.ReadProperty(QStringLiteral("Font"));
    if (font.canConvert<QFont>() && font.isValid()) {
        d->edit->setFont(font.value<QFont>());
    } else {
        d->edit->setFont(QFont());
        d->edit->setAttribute(Qt::WA_SetFont, false);
    }
    d->borderStyle = readInt(bag, QStringLiteral("BorderStyle"), 1) == 0 ? Kein : Fest;
    d->linkItem = readString(bag, QStringLiteral("LinkItem"), QString());
    d->linkMode = clamp16(readInt(bag, QStringLiteral("LinkMode"), 0));
    d->linkTimeout = clamp16(readInt(bag, QStringLiteral("LinkTimeout"), 50));
    d->linkTopic = readString(bag, QStringLiteral("LinkTopic"), QString());
    d->edit->setReadOnly(readBool(bag, QStringLiteral("Locked"), false));
    d->maxLength = std::max(0, readInt(bag, QStringLiteral("MaxLength"), 0));
    d->edit->setMaxLength(d->maxLength == 0 ? 32767 : std::min(d->maxLength, 32767));
    const QVariant icon = bag.ReadProperty(QStringLiteral("MouseIcon"));
    d->mouseIcon = icon.canConvert<QPixmap>() ? icon.value<QPixmap>() : QPixmap();
    d->mousePointer = clamp16(readInt(bag, QStringLiteral("MousePointer"), 0));
    d->applyCursor();
    d->oleDragMode = clamp16(readInt(bag, QStringLiteral("OLEDragMode"), 0));
    d->oleDropMode = clamp16(readInt(bag, QStringLiteral("OLEDropMode"), 0));
    d->passwordChar = readString(bag, QStringLiteral("PasswordChar"), QString()).left(1);
    d->applyPasswordChar();
    d->rightToLeft = readBool(bag, QStringLiteral("RightToLeft"), false);
    d->edit->setLayoutDirection(d->rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    d->setEditText(readString(bag, QStringLiteral("Text"), QStringLiteral("Text1")));
    d->datenTyp = enumDatenTyp(clamp16(readInt(bag, QStringLiteral("DatenTyp"), 0)));
    d->datenVorkomma = clamp16(readInt(bag, QStringLiteral("DatenVorkomma"), 0));
    d->datenNachkomma = clamp16(readInt(bag, QStringLiteral("DatenNachkomma"), 0));
    d->alignment = enumAlignment(readInt(bag, QStringLiteral("Alignment"), 0));
    d->applyAlignment();
    d->layout();
    update();
}

QSize uscTextBox::sizeHint() const
{
    const int fw = d->frameWidth();
    const QSize inner = d->edit->sizeHint();
    return {inner.width() + 2 * fw + twipsToPixels(35), inner.height() + 2 * fw};
}

QSize uscTextBox::minimumSizeHint() const
{
    const int fw = d->frameWidth();
    const QSize inner = d->edit->minimumSizeHint();
    return {inner.width() + 2 * fw + twipsToPixels(35), inner.height() + 2 * fw};
}

void uscTextBox::resizeEvent(QResizeEvent* event)
{
    HostedControl::resizeEvent(event);
    d->layout();
}

void uscTextBox::paintEvent(QPaintEvent*)
{
    if (d->borderStyle != Fest)
        return;
    QPainter painter(this);
    QStyleOptionFrame option;
    option.initFrom(this);
    option.lineWidth = d->frameWidth();
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    if (d->edit->hasFocus())
        option.state |= QStyle::State_HasFocus;
    style()->drawPrimitive(QStyle::PE_FrameLineEdit, &option, &painter, this);
}

void uscTextBox::changeEvent(QEvent* event)
{
    HostedControl::changeEvent(event);
    if (event->type() == QEvent::StyleChange)
        d->layout();
}

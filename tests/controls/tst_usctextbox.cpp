#include "desktop.h"
#include "propertybag.h"
#include "reporter.h"
#include "usctextbox.h"

#include <QBuffer>
#include <QLineEdit>
#include <QMetaProperty>
#include <QStyle>
#include <QUiLoader>
#include <QVBoxLayout>
#include <QtTest>

using namespace vorsa;

namespace {

// A window with the text box and a second field to move the focus to.
struct Form {
    QWidget window;
    uscTextBox* box;
    QLineEdit* other;
    RecordingReporter reporter;
    RecordingDesktop desktop;

    Form()
    {
        auto* layout = new QVBoxLayout(&window);
        box = new uscTextBox(&window);
        box->setObjectName(QStringLiteral("txtFeld"));
        other = new QLineEdit(&window);
        other->setObjectName(QStringLiteral("other"));
        layout->addWidget(box);
        layout->addWidget(other);
        box->setReporter(&reporter);
        box->setDesktop(&desktop);
        box->setClock([] { return QDateTime(QDate(2026, 12, 7), QTime(9, 30)); });
    }
    QLineEdit* edit() const { return box->Text1(); }
    // Types characters as a keyboard does (also those QTest has no key for).
    void type(const QString& keys)
    {
        for (const QChar c : keys) {
            const char16_t upper = c.toUpper().unicode();
            const Qt::Key key = upper < 0x100 ? Qt::Key(upper) : Qt::Key_unknown;
            QTest::sendKeyEvent(QTest::Press, edit(), key, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, edit(), key, QString(c), Qt::NoModifier);
        }
    }
    void setRaw(const QString& text) { edit()->setText(text); }
    // Focus into the box and out again, as the user does with the mouse.
    bool show()
    {
        window.show();
        return QTest::qWaitForWindowActive(&window);
    }
    void enter()
    {
        edit()->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
    }
    void leave()
    {
        other->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
    }
};

} // namespace

class TestTextBox : public QObject {
    Q_OBJECT

private slots:
    // ---- typing ----

    void numberFieldFiltersKeys()
    {
        Form f;
        f.box->setDatenTyp(uscTextBox::Nummer);
        f.box->setDatenVorkomma(3);
        f.box->setDatenNachkomma(2);
        QList<int> keyAscii;
        connect(f.box, &uscTextBox::KeyPress, f.box, [&](qint16& k) { keyAscii << k; });

        f.setRaw(QString());
        f.type(QStringLiteral("-123"));
        QCOMPARE(f.edit()->text(), QStringLiteral("-12"));
        QCOMPARE(keyAscii, (QList<int>{'-', '1', '2', 0}));
        QCOMPARE(f.desktop.beeps, 1);

        f.setRaw(QString());
        f.type(QStringLiteral("12,345"));
        QCOMPARE(f.edit()->text(), QStringLiteral("12,34"));
        QCOMPARE(f.desktop.beeps, 2);

        // A second comma selects the decimals and types nothing.
        f.setRaw(QStringLiteral("12,3"));
        f.edit()->setCursorPosition(4);
        f.type(QStringLiteral(","));
        QCOMPARE(f.edit()->text(), QStringLiteral("12,3"));
        QCOMPARE(f.edit()->selectedText(), QStringLiteral("3"));
        QCOMPARE(f.desktop.beeps, 3);

        // Typing over a selection that would break the limits keeps both.
        f.setRaw(QStringLiteral("12,34"));
        f.edit()->setSelection(2, 2);
        f.type(QStringLiteral("9"));
        QCOMPARE(f.edit()->text(), QStringLiteral("12,34"));
        QCOMPARE(f.edit()->selectionStart(), 2);
        QCOMPARE(f.edit()->selectedText(), QStringLiteral(",3"));

        // Over a selection that fits, the character replaces it.
        f.edit()->setSelection(0, 2);
        f.type(QStringLiteral("7"));
        QCOMPARE(f.edit()->text(), QStringLiteral("7,34"));

        // Backspace and Delete are no characters for the filter.
        const int beeps = f.desktop.beeps;
        f.edit()->setCursorPosition(0);
        QTest::sendKeyEvent(QTest::Press, f.edit(), Qt::Key_Delete, QString(QChar(0x7F)),
                            Qt::NoModifier);
        f.edit()->setCursorPosition(3);
        QTest::keyClick(f.edit(), Qt::Key_Backspace);
        QCOMPARE(f.edit()->text(), QStringLiteral(",3"));
        QCOMPARE(f.desktop.beeps, beeps);

        f.box->setDatenNachkomma(0);
        f.setRaw(QStringLiteral("12"));
        f.edit()->setCursorPosition(2);
        f.type(QStringLiteral(",a"));
        QCOMPARE(f.edit()->text(), QStringLiteral("12"));

        f.box->setDatenVorkomma(0);
        f.setRaw(QString());
        f.type(QStringLiteral("5"));
        QCOMPARE(f.edit()->text(), QString());
    }

    void lockedNumberFieldPassesEveryKey()
    {
        Form f;
        f.box->setDatenTyp(uscTextBox::Zahl);
        f.box->setLocked(true);
        QList<int> keyAscii;
        connect(f.box, &uscTextBox::KeyPress, f.box, [&](qint16& k) { keyAscii << k; });
        f.type(QStringLiteral("x9"));
        QCOMPARE(keyAscii, (QList<int>{'x', '9'}));
        QCOMPARE(f.desktop.beeps, 0);
        QCOMPARE(f.edit()->text(), QStringLiteral("Text1"));
    }

    void hostChangesKeyAscii()
    {
        Form f;
        f.setRaw(QString());
        connect(f.box, &uscTextBox::KeyPress, f.box, [](qint16& k) {
            if (k == 'x')
                k = 0;
            else if (k == 'a')
                k = 'b';
        });
        f.type(QStringLiteral("axc"));
        QCOMPARE(f.edit()->text(), QStringLiteral("bc"));
    }

    void hostTakesAKeyWithKeyCodeZero()
    {
        Form f;
        f.setRaw(QStringLiteral("abc"));
        connect(f.box, &uscTextBox::KeyDown, f.box, [](qint16& code, qint16&) { code = 0; });
        // Delete and the caret keys are no longer the edit box's ...
        f.edit()->setCursorPosition(1);
        QTest::keyClick(f.edit(), Qt::Key_Delete);
        QTest::keyClick(f.edit(), Qt::Key_Right);
        QTest::keyClick(f.edit(), Qt::Key_End);
        QCOMPARE(f.edit()->text(), QStringLiteral("abc"));
        QCOMPARE(f.edit()->cursorPosition(), 1);
        // ... a character still goes on to KeyPress and is typed.
        f.type(QStringLiteral("x"));
        QCOMPARE(f.edit()->text(), QStringLiteral("axbc"));
    }

    void keyEventsCarryKeyCodeAndShift()
    {
        Form f;
        QList<QPair<int, int>> down;
        QList<QPair<int, int>> up;
        connect(f.box, &uscTextBox::KeyDown, f.box,
                [&](qint16& code, qint16& shift) { down << qMakePair(int(code), int(shift)); });
        connect(f.box, &uscTextBox::KeyUp, f.box,
                [&](qint16& code, qint16& shift) { up << qMakePair(int(code), int(shift)); });
        QTest::keyClick(f.edit(), Qt::Key_F5);
        QTest::keyClick(f.edit(), Qt::Key_Return);
        QTest::keyClick(f.edit(), Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier);
        // Shift and Ctrl go down (and up) as keys of their own.
        QCOMPARE(down.mid(0, 2), (QList<QPair<int, int>>{{116, 0}, {13, 0}}));
        QCOMPARE(up.mid(0, 2), (QList<QPair<int, int>>{{116, 0}, {13, 0}}));
        QVERIFY(down.contains(qMakePair(65, 3)));
        QVERIFY(down.contains(qMakePair(16, 1)));
        QVERIFY(up.contains(qMakePair(65, 3)));
    }

    void upperTextTurnsTypedLettersToCapitals()
    {
        Form f;
        f.box->setDatenTyp(uscTextBox::UpperText);
        f.setRaw(QString());
        f.type(QStringLiteral("straße ä1"));
        QCOMPARE(f.edit()->text(), QStringLiteral("STRAßE Ä1"));
        // Writing is not upper-cased, only trailing blanks go.
        f.box->setText(QStringLiteral("abc   "));
        QCOMPARE(f.edit()->text(), QStringLiteral("abc"));
        // A locked box types nothing, upper-cased or not.
        f.box->setLocked(true);
        f.type(QStringLiteral("x"));
        QCOMPARE(f.edit()->text(), QStringLiteral("abc"));
    }

    void dateTypingAidCompletesTheDate()
    {
        Form f;
        f.box->setDatenTyp(uscTextBox::Datum);
        f.setRaw(QString());
        f.type(QStringLiteral("05"));
        QCOMPARE(f.edit()->text(), QStringLiteral("05.12.2026"));
        QCOMPARE(f.edit()->selectedText(), QStringLiteral("12.2026"));
        // Typing goes on over the selection.
        f.type(QStringLiteral("03"));
        QCOMPARE(f.edit()->text(), QStringLiteral("05.03.2026"));
        QCOMPARE(f.edit()->selectedText(), QStringLiteral("2026"));

        f.setRaw(QString());
        f.type(QStringLiteral("1."));
        QCOMPARE(f.edit()->text(), QStringLiteral("01.12.2026"));
        QCOMPARE(f.edit()->selectedText(), QStringLiteral("12.2026"));

        // Backspace removes the completion; on "01." it removes the dot and
        // the aid puts it back with the completion selected.
        QTest::keyClick(f.edit(), Qt::Key_Backspace);
        QCOMPARE(f.edit()->text(), QStringLiteral("01."));
        QTest::keyClick(f.edit(), Qt::Key_Backspace);
        QCOMPARE(f.edit()->text(), QStringLiteral("01.12.2026"));
        QCOMPARE(f.edit()->selectedText(), QStringLiteral("12.2026"));

        // Letters and other signs are rejected with a beep.
        f.setRaw(QString());
        f.type(QStringLiteral("a-"));
        QCOMPARE(f.edit()->text(), QString());
        QCOMPARE(f.desktop.beeps, 2);
    }

    void keyUpComesAfterTheDateAid()
    {
        Form f;
        f.box->setDatenTyp(uscTextBox::Datum);
        f.setRaw(QString());
        QStringList seenAtKeyUp;
        connect(f.box, &uscTextBox::KeyUp, f.box,
                [&](qint16&, qint16&) { seenAtKeyUp << f.edit()->text(); });
        f.type(QStringLiteral("05"));
        QCOMPARE(seenAtKeyUp, (QStringList{"0", "05.12.2026"}));
    }

    void timeFieldAcceptsDigitsAndColon()
    {
        Form f;
        f.box->setDatenTyp(uscTextBox::Uhrzeit);
        f.setRaw(QString());
        f.type(QStringLiteral("7:3a."));
        QCOMPARE(f.edit()->text(), QStringLiteral("7:3"));
        QCOMPARE(f.desktop.beeps, 2);
    }

    void otherTypesPassEveryKey()
    {
        Form f;
        f.box->setDatenTyp(uscTextBox::enumDatenTyp(7));
        f.setRaw(QString());
        f.type(QStringLiteral("aZ.9"));
        QCOMPARE(f.edit()->text(), QStringLiteral("aZ.9"));
        QCOMPARE(f.desktop.beeps, 0);
        QCOMPARE(f.box->Text(), QString());
        QSignalSpy changed(f.box, &uscTextBox::PropertyChanged);
        f.box->setText(QStringLiteral("neu"));
        QCOMPARE(f.edit()->text(), QStringLiteral("aZ.9"));
        QCOMPARE(changed.count(), 1);
    }

    // ---- focus ----

    void focusGainSelectsAll()
    {
        Form f;
        QVERIFY(f.show());
        f.setRaw(QStringLiteral("Hallo"));
        f.leave();
        f.edit()->setFocus(Qt::OtherFocusReason);
        QCOMPARE(f.edit()->selectedText(), QStringLiteral("Hallo"));
    }

    void focusLossCompletesAndChecksDates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("warned");
        QTest::newRow("5") << "5"
                           << "05.12.2026" << false;
        QTest::newRow("15.3") << "15.3"
                              << "15.03.2026" << false;
        QTest::newRow("length 7") << "15.03.2"
                                  << "15.03.2026" << false;
        QTest::newRow("length 8") << "15.03.95"
                                  << "15.03.1995" << false;
        QTest::newRow("31.04.2026") << "31.04.2026"
                                    << "31.04.2026" << true;
        QTest::newRow("29.02.2027") << "29.02.2027"
                                    << "29.02.2027" << true;
        QTest::newRow("29.02.2100 passes") << "29.02.2100"
                                           << "29.02.2100" << false;
        QTest::newRow("no date at all") << "1.1.1.1"
                                        << "1.1.1.16" << true;
    }
    void focusLossCompletesAndChecksDates()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, warned);
        Form f;
        f.box->setDatenTyp(uscTextBox::Datum);
        QVERIFY(f.show());
        f.enter();
        f.setRaw(typed);
        f.leave();
        QCOMPARE(f.edit()->text(), shown);
        if (!warned) {
            QVERIFY(f.reporter.entries.isEmpty());
            QVERIFY(f.other->hasFocus());
            return;
        }
        QCOMPARE(f.reporter.entries.size(), 1);
        QCOMPARE(f.reporter.entries.first().text,
                 QStringLiteral("Ungültiges Datumsformat! (tt.mm.yyyy)"));
        QCOMPARE(f.reporter.entries.first().title, QStringLiteral("Falsche Eingabe"));
        QCOMPARE(f.reporter.entries.first().icon, MessageIcon::Warning);
        QTRY_VERIFY(f.edit()->hasFocus());
        // Leaving again checks again.
        f.leave();
        QCOMPARE(f.reporter.entries.size(), 2);
    }

    void emptyDateFieldIsNotChecked()
    {
        Form f;
        f.box->setDatenTyp(uscTextBox::Datum);
        QVERIFY(f.show());
        f.enter();
        f.setRaw(QString());
        f.leave();
        QVERIFY(f.reporter.entries.isEmpty());
        QCOMPARE(f.edit()->text(), QString());
    }

    void aFocusedBoxCanBeDeleted()
    {
        // A form that drops a field while the user is in it: the box goes
        // without handling a focus loss of its own.
        Form f;
        f.box->setDatenTyp(uscTextBox::Datum);
        QVERIFY(f.show());
        f.enter();
        f.setRaw(QStringLiteral("5"));
        QVERIFY(f.edit()->hasFocus());
        delete f.box;
        QVERIFY(f.reporter.entries.isEmpty());
        f.other->setFocus(Qt::MouseFocusReason);
        QVERIFY(f.other->hasFocus());
    }

    void focusLossNormalisesByType()
    {
        Form f;
        QVERIFY(f.show());
        struct Case {
            uscTextBox::enumDatenTyp type;
            QString raw;
            QString shown;
            int beeps;
        };
        const QList<Case> cases{
            {uscTextBox::NormalText, QStringLiteral("abc  "), QStringLiteral("abc"), 0},
            {uscTextBox::Nummer, QStringLiteral("1234,5"), QStringLiteral("1234,50"), 0},
            {uscTextBox::Zahl, QStringLiteral("1234,5"), QStringLiteral("1.234,50"), 0},
            {uscTextBox::Zahl, QStringLiteral("abc"), QStringLiteral("abc"), 0},
            {uscTextBox::Uhrzeit, QStringLiteral("730"), QStringLiteral("07:30"), 0},
            {uscTextBox::Uhrzeit, QStringLiteral("25:00"), QStringLiteral("00:00"), 1},
            {uscTextBox::Uhrzeit, QStringLiteral("12:75"), QStringLiteral("12:59"), 1},
            {uscTextBox::Uhrzeit, QString(), QStringLiteral("00:00"), 0},
        };
        f.box->setDatenNachkomma(2);
        for (const Case& c : cases) {
            f.desktop.beeps = 0;
            f.box->setDatenTyp(c.type);
            f.enter();
            f.setRaw(c.raw);
            f.leave();
            QCOMPARE(f.edit()->text(), c.shown);
            QCOMPARE(f.desktop.beeps, c.beeps);
        }
    }

    // ---- Text by type ----

    void textIsReadAndWrittenByType()
    {
        Form f;
        f.box->setDatenTyp(uscTextBox::Datum);
        f.box->setText(QStringLiteral("2026/12/06"));
        QCOMPARE(f.edit()->text(), QStringLiteral("06.12.2026"));
        QCOMPARE(f.box->Text(), QStringLiteral("2026/12/06"));
        f.box->setText(QStringLiteral("26/12/06"));
        QCOMPARE(f.edit()->text(), QStringLiteral("06.12.2026"));
        f.box->setText(QStringLiteral("1995/01/31"));
        QCOMPARE(f.edit()->text(), QStringLiteral("31.01.1995"));
        f.box->setText(QStringLiteral("06.12.2026")); // display form: read by storage positions
        QVERIFY(f.edit()->text() != QStringLiteral("06.12.2026"));
        f.box->setText(QStringLiteral("2026/02/30"));
        QCOMPARE(f.edit()->text(), QString());
        f.setRaw(QStringLiteral("31.04.2026"));
        QCOMPARE(f.box->Text(), QString());

        f.box->setDatenTyp(uscTextBox::Nummer);
        f.box->setDatenNachkomma(2);
        f.setRaw(QStringLiteral("abc"));
        QCOMPARE(f.box->Text(), QStringLiteral("abc"));
        f.box->setText(QStringLiteral("1234,5"));
        QCOMPARE(f.edit()->text(), QStringLiteral("1234,50"));
        f.box->setDatenTyp(uscTextBox::Zahl);
        QCOMPARE(f.box->Text(), QStringLiteral("1.234,50"));

        f.box->setDatenTyp(uscTextBox::Uhrzeit);
        f.box->setText(QStringLiteral("7"));
        QCOMPARE(f.edit()->text(), QStringLiteral("07:00"));

        f.box->setDatenTyp(uscTextBox::NormalText);
        f.setRaw(QStringLiteral("abc   "));
        QCOMPARE(f.box->Text(), QStringLiteral("abc"));
    }

    void changeFollowsTheTextNotice()
    {
        Form f;
        QStringList order;
        connect(f.box, &uscTextBox::PropertyChanged, f.box,
                [&](const QString& name) { order << name; });
        connect(f.box, &uscTextBox::Change, f.box, [&] { order << QStringLiteral("Change"); });
        f.type(QStringLiteral("x"));
        QCOMPARE(order, (QStringList{"Text", "Change"}));
    }

    void hostCanRefuseATextChange()
    {
        Form f;
        f.box->setCanPropertyChange([](const QString& name) { return name != u"Text"; });
        QSignalSpy changed(f.box, &uscTextBox::PropertyChanged);
        f.box->setText(QStringLiteral("neu"));
        QCOMPARE(f.edit()->text(), QStringLiteral("Text1"));
        QCOMPARE(changed.count(), 0);
        f.box->setDatenTyp(uscTextBox::Zahl); // others are not asked
        QCOMPARE(f.box->DatenTyp(), uscTextBox::Zahl);
    }

    void everyPropertyWriteIsReported()
    {
        Form f;
        const QMetaObject* meta = &uscTextBox::staticMetaObject;
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            const QMetaProperty p = meta->property(i);
            if (!p.isWritable() || !p.isStored())
                continue;
            QSignalSpy changed(f.box, &uscTextBox::PropertyChanged);
            QVERIFY(p.write(f.box, p.read(f.box)));
            QVERIFY2(!changed.isEmpty(), p.name());
            QCOMPARE(changed.last().first().toString(), QString::fromLatin1(p.name()));
        }
    }

    // ---- pass-through properties ----

    void passThroughPropertiesActOnTheEditBox()
    {
        Form f;
        f.box->setAlignment(uscTextBox::Rechts);
        QVERIFY(f.edit()->alignment() & Qt::AlignRight);
        f.box->setLocked(true);
        QVERIFY(f.edit()->isReadOnly());
        f.box->setMaxLength(4);
        f.setRaw(QStringLiteral("abcdef"));
        QCOMPARE(f.edit()->text(), QStringLiteral("abcd"));
        f.box->setMaxLength(0);
        f.setRaw(QString(300, u'x'));
        QCOMPARE(f.edit()->text().size(), 300);
        f.box->setPasswordChar(QStringLiteral("#"));
        f.setRaw(QStringLiteral("geheim"));
        QCOMPARE(f.edit()->displayText(), QStringLiteral("######"));
        f.box->setPasswordChar(QString());
        QCOMPARE(f.edit()->displayText(), QStringLiteral("geheim"));
        f.box->setRightToLeft(true);
        QCOMPARE(f.edit()->layoutDirection(), Qt::RightToLeft);
        f.box->setMousePointer(11);
        QCOMPARE(f.edit()->cursor().shape(), Qt::WaitCursor);
        f.box->setBackColor(Qt::yellow);
        QCOMPARE(f.edit()->palette().color(QPalette::Base), QColor(Qt::yellow));
        QCOMPARE(f.box->palette().color(QPalette::Window), QColor(Qt::yellow));
        f.box->setEnabledProperty(false);
        QVERIFY(!f.edit()->isEnabled());
        QVERIFY(!f.box->Enabled());
        QCOMPARE(f.box->Appearance(), 1);
    }

    void editBoxFillsTheControl()
    {
        uscTextBox box;
        box.show();
        box.resize(200, 30);
        const int fw = box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &box);
        QCOMPARE(box.Text1()->geometry(), QRect(fw, fw, 200 - 2 * fw - 2, 30 - 2 * fw));
        box.setBorderStyle(uscTextBox::Kein);
        QCOMPARE(box.Text1()->geometry(), QRect(0, 0, 198, 30));
    }

    void mouseEventsReachTheHost()
    {
        Form f;
        QStringList events;
        QList<float> xs;
        auto record = [&](const QString& name) {
            return [&, name](qint16 button, qint16 shift, float x, float) {
                events << QStringLiteral("%1 %2 %3").arg(name).arg(button).arg(shift);
                xs << x;
            };
        };
        connect(f.box, &uscTextBox::MouseDown, f.box, record(QStringLiteral("Down")));
        connect(f.box, &uscTextBox::MouseUp, f.box, record(QStringLiteral("Up")));
        connect(f.box, &uscTextBox::Click, f.box, [&] { events << QStringLiteral("Click"); });
        connect(f.box, &uscTextBox::DblClick, f.box, [&] { events << QStringLiteral("DblClick"); });
        QTest::mouseClick(f.edit(), Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 5));
        QCOMPARE(events, (QStringList{"Down 1 1", "Up 1 1", "Click"}));
        QCOMPARE(xs.first(), 150.0f);
        events.clear();
        QTest::mouseDClick(f.edit(), Qt::LeftButton, {}, QPoint(10, 5));
        QVERIFY(events.contains(QStringLiteral("DblClick")));
        QCOMPARE(events.count(QStringLiteral("Click")), 0);
    }

    void newInstanceShowsItsName()
    {
        Form f;
        f.box->setDatenTyp(uscTextBox::Zahl);
        f.box->setBorderStyle(uscTextBox::Kein);
        f.box->InitProperties();
        QCOMPARE(f.edit()->text(), QStringLiteral("txtFeld"));
        QCOMPARE(f.box->BorderStyle(), uscTextBox::Fest);
        QCOMPARE(f.box->DatenTyp(), uscTextBox::NormalText);
    }

    // ---- persistence ----

    void propertyBagKeepsOrderAndSkipsDefaults()
    {
        Form f;
        orvo::PropertyBag bag;
        f.box->WriteProperties(bag);
        QVERIFY2(bag.isEmpty(), qPrintable(bag.names().join(u',')));

        f.box->setDatenTyp(uscTextBox::Datum);
        f.box->setDatenVorkomma(3);
        f.box->setAlignment(uscTextBox::Zentriert);
        f.box->setBackColor(Qt::cyan);
        f.box->setLinkTimeout(70);
        f.box->setPasswordChar(QStringLiteral("*"));
        f.box->setEnabledProperty(false);
        f.setRaw(QStringLiteral("06.12.2026"));
        f.box->WriteProperties(bag);
        QCOMPARE(bag.names(), (QStringList{"BackColor", "Enabled", "LinkTimeout", "PasswordChar",
                                           "Text", "DatenTyp", "DatenVorkomma", "Alignment"}));
        QCOMPARE(bag.ReadProperty(QStringLiteral("Text")), QVariant(QStringLiteral("06.12.2026")));

        // Through bytes, as a host keeps it, into a new instance.
        Form g;
        QVERIFY(g.box->LoadProperties(f.box->SaveProperties()));
        QCOMPARE(g.edit()->text(), QStringLiteral("06.12.2026")); // raw, not converted
        QCOMPARE(g.box->DatenTyp(), uscTextBox::Datum);
        QCOMPARE(g.box->DatenVorkomma(), 3);
        QCOMPARE(g.box->Alignment(), uscTextBox::Zentriert);
        QCOMPARE(g.box->BackColor(), QColor(Qt::cyan));
        QCOMPARE(g.box->palette().color(QPalette::Window), QColor(Qt::cyan));
        QCOMPARE(g.box->LinkTimeout(), 70);
        QCOMPARE(g.box->PasswordChar(), QStringLiteral("*"));
        QVERIFY(!g.box->Enabled());
        QCOMPARE(g.box->Text(), QStringLiteral("2026/12/06"));

        // Missing names read as their defaults.
        g.box->ReadProperties(orvo::PropertyBag());
        QCOMPARE(g.edit()->text(), QStringLiteral("Text1"));
        QCOMPARE(g.box->BackColor(), f.other->palette().color(QPalette::Base));
        QCOMPARE(g.box->LinkTimeout(), 50);
        QVERIFY(g.box->Enabled());
        QCOMPARE(g.box->BorderStyle(), uscTextBox::Fest);

        QVERIFY(!g.box->LoadProperties(QByteArray("kein Beutel")));
    }

    void fontFollowsTheHostUnlessSet()
    {
        Form f;
        QFont hostFont(QStringLiteral("Liberation Serif"), 15);
        f.window.setFont(hostFont);
        QCOMPARE(f.box->Font().pointSize(), 15);
        orvo::PropertyBag bag;
        f.box->WriteProperties(bag);
        QVERIFY(!bag.contains(QStringLiteral("Font")));
        QFont own(QStringLiteral("Liberation Mono"), 9);
        f.box->setFontProperty(own);
        f.box->WriteProperties(bag);
        QVERIFY(bag.contains(QStringLiteral("Font")));
        f.box->ReadProperties(orvo::PropertyBag());
        QCOMPARE(f.box->Font().pointSize(), 15);
    }

    void formFileCreatesTheControlByClassName()
    {
        QUiLoader loader;
        loader.clearPluginPaths();
        loader.addPluginPath(qEnvironmentVariable("VORSA_BUILD_DIR") +
                             QStringLiteral("/plugins/designer"));
        QVERIFY2(loader.availableWidgets().contains(QStringLiteral("uscTextBox")),
                 qPrintable(loader.errorString()));
        QByteArray ui = R"(<ui version="4.0">
 <class>Form</class>
 <widget class="QWidget" name="Form">
  <widget class="uscTextBox" name="txtDatum">
   <property name="Alignment"><enum>uscTextBox::Rechts</enum></property>
   <property name="BackColor"><color><red>255</red><green>255</green><blue>0</blue></color></property>
   <property name="DatenTyp"><enum>uscTextBox::Datum</enum></property>
   <property name="MaxLength"><number>10</number></property>
   <property name="Text"><string>2026/12/06</string></property>
  </widget>
 </widget>
</ui>)";
        QBuffer buffer(&ui);
        std::unique_ptr<QWidget> form(loader.load(&buffer));
        QVERIFY2(form, qPrintable(loader.errorString()));
        auto* box = form->findChild<uscTextBox*>(QStringLiteral("txtDatum"));
        QVERIFY(box);
        QCOMPARE(box->Alignment(), uscTextBox::Rechts);
        QCOMPARE(box->BackColor(), QColor(Qt::yellow));
        QCOMPARE(box->MaxLength(), 10);
        QCOMPARE(box->Text1()->text(), QStringLiteral("06.12.2026"));
        QCOMPARE(box->property("Text").toString(), QStringLiteral("2026/12/06"));
        // The methods are there for a host that knows only the class name.
        QVERIFY(QMetaObject::invokeMethod(box, "Refresh"));
    }
};

QTEST_MAIN(TestTextBox)
#include "tst_usctextbox.moc"

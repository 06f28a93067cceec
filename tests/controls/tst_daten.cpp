#include "daten.h"
#include "reporter.h"
#include "usctextbox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

using namespace vorsa;

namespace {

struct Page {
    QWidget window;
    orvo::Daten* page;
    uscTextBox* box;
    RecordingReporter reporter;
    QStringList written; // "name=value" in the order written

    Page()
    {
        page = new orvo::Daten(&window);
        box = new uscTextBox(&window);
        box->move(0, 300);
        page->setReporter(&reporter);
        page->setPropertyWriter([this](QObject* o, const char* name, const QVariant& value) {
            written << QString::fromLatin1(name) + u'=' + value.toString();
            o->setProperty(name, value);
        });
    }
    template <typename T> T* child(const char* name) const
    {
        return page->findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* field(const char* name) const { return child<QLineEdit>(name); }
    QComboBox* list() const { return child<QComboBox>("cboDatenTyp"); }
};

} // namespace

class TestDaten : public QObject {
    Q_OBJECT

private slots:
    void fillsFromTheFirstSelectedControl()
    {
        Page p;
        p.box->setDatenTyp(uscTextBox::Zahl);
        p.box->setDatenVorkomma(5);
        p.box->setDatenNachkomma(2);
        p.box->setText(QStringLiteral("12"));
        p.box->setPasswordChar(QStringLiteral("*"));
        p.box->setMaxLength(8);
        p.box->setLocked(true);
        uscTextBox second;
        p.page->SelectionChanged({p.box, &second});
        QCOMPARE(p.list()->currentIndex(), 3);
        QCOMPARE(p.list()->count(), 6);
        QCOMPARE(p.list()->itemText(4), QStringLiteral("4 - Datum"));
        QCOMPARE(p.field("txtDatenVorkomma")->text(), QStringLiteral("5"));
        QCOMPARE(p.field("txtDatenNachkomma")->text(), QStringLiteral("2"));
        QCOMPARE(p.field("txtText")->text(), QStringLiteral("12,00"));
        QCOMPARE(p.field("txtPasswordChar")->text(), QStringLiteral("*"));
        QCOMPARE(p.field("txtMaxLength")->text(), QStringLiteral("8"));
        QVERIFY(p.child<QCheckBox>("chkLocked")->isChecked());
        QVERIFY(p.child<QCheckBox>("chkEnabled")->isChecked());
        QVERIFY(!p.page->Changed());
        QCOMPARE(p.child<QCheckBox>("chkLocked")->text(), QStringLiteral("Locked"));
    }

    void editsMarkThePageChanged()
    {
        Page p;
        p.page->SelectionChanged({p.box});
        QSignalSpy changed(p.page, &orvo::Daten::ChangedChanged);
        QTest::keyClicks(p.field("txtPasswordChar"), QStringLiteral("x"));
        QVERIFY(p.page->Changed());
        QCOMPARE(changed.count(), 1);
        p.page->SelectionChanged({p.box});
        QVERIFY(!p.page->Changed());
        p.child<QCheckBox>("chkEnabled")->click();
        QVERIFY(p.page->Changed());
        p.page->setChanged(false);
        p.list()->setCurrentIndex(2);
        QVERIFY(p.page->Changed());
    }

    void typeDefaultsFollowTheTable_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("vorkomma");
        QTest::addColumn<QString>("nachkomma");
        QTest::addColumn<QString>("maxLength");
        QTest::addColumn<QString>("text");
        // The fields hold 7, 3, 12 and "abc" before; "-" marks unchanged.
        QTest::newRow("0 - NormalText") << 0 << "0"
                                        << "0"
                                        << "12"
                                        << "";
        QTest::newRow("1 - UpperText") << 1 << "0"
                                       << "0"
                                       << "12"
                                       << "";
        QTest::newRow("2 - Nummer") << 2 << "7"
                                    << "3"
                                    << "0"
                                    << "0";
        QTest::newRow("3 - Zahl") << 3 << "7"
                                  << "3"
                                  << "0"
                                  << "0";
        QTest::newRow("4 - Datum") << 4 << "0"
                                   << "0"
                                   << "10"
                                   << "";
        QTest::newRow("5 - Uhrzeit") << 5 << "4"
                                     << "0"
                                     << "5"
                                     << "00:00";
    }
    void typeDefaultsFollowTheTable()
    {
        QFETCH(int, index);
        QFETCH(QString, vorkomma);
        QFETCH(QString, nachkomma);
        QFETCH(QString, maxLength);
        QFETCH(QString, text);
        Page p;
        p.page->SelectionChanged({p.box});
        p.field("txtDatenVorkomma")->setText(QStringLiteral("7"));
        p.field("txtDatenNachkomma")->setText(QStringLiteral("3"));
        p.field("txtMaxLength")->setText(QStringLiteral("12"));
        p.field("txtText")->setText(QStringLiteral("abc"));
        p.list()->setCurrentIndex(index);
        // A choice in the list brings the defaults.
        emit p.list()->activated(index);
        QCOMPARE(p.field("txtDatenVorkomma")->text(), vorkomma);
        QCOMPARE(p.field("txtDatenNachkomma")->text(), nachkomma);
        QCOMPARE(p.field("txtMaxLength")->text(), maxLength);
        QCOMPARE(p.field("txtText")->text(), text);
    }

    void typeDefaultsWriteOnlyWhatDiffers()
    {
        Page p;
        p.page->SelectionChanged({p.box});
        p.list()->setCurrentIndex(4);
        p.field("txtDatenVorkomma")->setText(QStringLiteral("0"));
        p.field("txtText")->setText(QString());
        QSignalSpy vorkomma(p.field("txtDatenVorkomma"), &QLineEdit::textChanged);
        p.page->TypVorgaben();
        QCOMPARE(vorkomma.count(), 0);
    }

    void leavingThePlacesFieldsAppliesTheDefaults()
    {
        Page p;
        p.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&p.window));
        p.page->SelectionChanged({p.box});
        p.list()->setCurrentIndex(5);
        p.field("txtDatenVorkomma")->setFocus();
        p.field("txtDatenVorkomma")->setText(QStringLiteral("9"));
        p.field("txtText")->setFocus();
        QCOMPARE(p.field("txtDatenVorkomma")->text(), QStringLiteral("4"));
        QCOMPARE(p.field("txtMaxLength")->text(), QStringLiteral("5"));
        // Entering a field selects its content.
        QCOMPARE(p.field("txtText")->selectedText(), QStringLiteral("00:00"));
    }

    void applyWritesInItsOrder()
    {
        Page p;
        p.page->SelectionChanged({p.box});
        p.list()->setCurrentIndex(4);
        emit p.list()->activated(4);
        p.field("txtPasswordChar")->setText(QStringLiteral("*"));
        p.child<QCheckBox>("chkLocked")->setChecked(true);
        QVERIFY(p.page->ApplyChanges());
        QCOMPARE(p.written,
                 (QStringList{"DatenNachkomma=0", "DatenVorkomma=0", "Text=", "PasswordChar=*",
                              "MaxLength=10", "Locked=true", "Enabled=true", "DatenTyp=4"}));
        QCOMPARE(p.box->DatenTyp(), uscTextBox::Datum);
        QCOMPARE(p.box->MaxLength(), 10);
        QVERIFY(p.box->Locked());
        QVERIFY(!p.page->Changed());
    }

    void applyWithANonNumberWritesNothing()
    {
        Page p;
        p.page->SelectionChanged({p.box});
        p.field("txtDatenVorkomma")->setText(QStringLiteral("drei"));
        QVERIFY(!p.page->ApplyChanges());
        QVERIFY(p.written.isEmpty());
        QCOMPARE(p.reporter.entries.size(), 1);
        QCOMPARE(p.reporter.entries.first().title, QStringLiteral("Fehler: 13"));
        QVERIFY(p.reporter.entries.first().text.startsWith(u"[ApplyChanges]\r\n\r\n"));
    }
};

QTEST_MAIN(TestDaten)
#include "tst_daten.moc"

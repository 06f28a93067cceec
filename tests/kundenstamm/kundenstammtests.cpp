#include "kundenstammtests.h"

#include "../report/pdfwerkzeug.h"
#include "addresses.h"
#include "desktop.h"
#include "frmkunden.h"
#include "index/buildindexcommand.h"
#include "ini.h"
#include "kundenmodell.h"
#include "reporter.h"
#include "sampledata.h"
#include "usctextbox.h"
#include "usctoolbstamm.h"

#include <orvoreport2/clsreport.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

namespace vorsa::test {

namespace {

constexpr int kKunden = 60; // tenant 1 (the first of the list) has 20 of them

// Typed key by key; umlauts as a keyboard types them, a key with its text.
void typeInto(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(widget, char(c.unicode()));
        } else {
            const auto key = Qt::Key(c.toUpper().unicode());
            QTest::sendKeyEvent(QTest::Press, widget, key, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, key, QString(c), Qt::NoModifier);
        }
    }
}

// The program on a folder, shown offscreen, its boxes recorded.
struct Fenster {
    RecordingReporter reporter;
    RecordingDesktop desktop;
    kundenstamm::frmKunden form;

    explicit Fenster(const QString& folder) : form(folder)
    {
        form.setReporter(&reporter);
        form.setDesktop(&desktop);
    }
    bool load()
    {
        const bool loaded = form.Form_Load();
        form.show();
        return loaded && QTest::qWaitForWindowActive(&form);
    }
    uscToolbStamm* bar() const { return form.uscToolbStamm1(); }
    // A click on a button: false when it cannot be clicked.
    bool click(const QString& key)
    {
        QAction* button = bar()->Buttons(key);
        if (!button->isEnabled() || !button->isVisible())
            return false;
        button->trigger();
        return true;
    }
    qlonglong kundenNr() const
    {
        const QVariant nr = form.stamm().modell()->kundenNr(form.aktuelleZeile());
        return nr.isNull() ? -1 : nr.toLongLong();
    }
    uscTextBox* box(const QString& field) const { return form.feld(field); }
    QString shown(const QString& field) const { return box(field)->Text1()->text(); }
    void type(const QString& field, const QString& text)
    {
        box(field)->Text1()->selectAll();
        typeInto(box(field)->Text1(), text);
    }
    void key(Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); }
    int rows() const { return form.stamm().modell()->rowCount(); }
    QString status() const { return form.lblStatus()->text(); }
    // From the first customer on to the one of that name; false when none has it.
    bool goTo(const QString& name)
    {
        click(QStringLiteral("First"));
        for (int row = 0; row < rows(); ++row) {
            if (shown(QStringLiteral("Name2")) == name)
                return true;
            click(QStringLiteral("Next"));
        }
        return false;
    }
    QList<qlonglong> shownNumbers() const
    {
        QList<qlonglong> numbers;
        for (int row = 0; row < rows(); ++row)
            numbers << form.stamm().modell()->kundenNr(row).toLongLong();
        return numbers;
    }
};

} // namespace

// ---- database checks ----

static QVariant value(QSqlDatabase db, const QString& column, qlonglong kundenNr)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM TKunden WHERE KundenNrID = ?").arg(column));
    query.addBindValue(kundenNr);
    if (!query.exec() || !query.next())
        return QStringLiteral("<keine Zeile: %1>").arg(query.lastError().text());
    return query.value(0);
}

static QList<qlonglong> numbers(QSqlDatabase db, const QString& where)
{
    QSqlQuery query(db);
    QList<qlonglong> out;
    if (!query.exec(QStringLiteral("SELECT KundenNrID FROM TKunden WHERE %1 ORDER BY KundenNrID")
                        .arg(where)))
        qWarning() << query.lastError().text();
    while (query.next())
        out << query.value(0).toLongLong();
    return out;
}

void KundenstammTests::initTestCase()
{
    if (!m_backend.unavailableReason().isEmpty())
        QSKIP(qPrintable(m_backend.unavailableReason()));
    QVERIFY(m_generated.isValid());
    m_generatedFile = m_generated.filePath(QStringLiteral("adressen.db"));
    sampledata::generateKundenDatabase(m_generatedFile, kKunden);
}

void KundenstammTests::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_backend.prepare(m_generatedFile, m_folder->path());
}

void KundenstammTests::lastCustomerEditedAndSaved()
{
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QVERIFY(w.reporter.entries.isEmpty());
    // The first tenant of the list, its customers in number order.
    QCOMPARE(w.bar()->cboMandant()->currentText(), QStringLiteral("Taxi Bielefeld"));
    QCOMPARE(w.shownNumbers(), numbers(m_backend.check(), QStringLiteral("MandNr = 1")));
    QCOMPARE(w.kundenNr(), 3);
    QCOMPARE(w.status(), QStringLiteral("Kunde 1 von 20"));

    w.box(QStringLiteral("Name2"))->setFocus();
    w.key(Qt::Key_F8); // last
    QCOMPARE(w.kundenNr(), 60);
    QCOMPARE(w.shown(QStringLiteral("Name2")), value(m_backend.check(), "Name2", 60).toString());
    QVERIFY(w.box(QStringLiteral("Name2"))->Locked());
    const QVariant telefon = value(m_backend.check(), "Telefon1", 60);

    w.key(Qt::Key_Return); // edit
    QVERIFY(w.form.bearbeitet());
    QVERIFY(!w.box(QStringLiteral("Name2"))->Locked());
    QVERIFY(w.box(QStringLiteral("KundenNrID"))->Locked()); // the number stays
    QVERIFY(!w.bar()->Buttons(QStringLiteral("Next"))->isEnabled());
    w.type(QStringLiteral("Name2"), QStringLiteral("Neumann, Olga"));
    QTest::keyClick(w.box(QStringLiteral("Name2"))->Text1(), Qt::Key_Return); // save

    QVERIFY(w.reporter.entries.isEmpty());
    QVERIFY(!w.form.bearbeitet());
    QVERIFY(w.box(QStringLiteral("Name2"))->Locked());
    QCOMPARE(value(m_backend.check(), "Name2", 60).toString(), QStringLiteral("Neumann, Olga"));
    QCOMPARE(value(m_backend.check(), "Telefon1", 60), telefon);
    QCOMPARE(w.kundenNr(), 60);
    QCOMPARE(w.status(), QStringLiteral("Kunde 20 von 20"));
    // At the end the next customer is not there.
    QVERIFY(w.click(QStringLiteral("Next")));
    QCOMPARE(w.desktop.beeps, 1);
    QCOMPARE(w.kundenNr(), 60);
}

void KundenstammTests::undoAndClosingWithoutSavingChangeNothing()
{
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QVERIFY(w.click(QStringLiteral("Next")));
    const qlonglong nr = w.kundenNr();
    const QString name = w.shown(QStringLiteral("Name2"));
    const QString ort = w.shown(QStringLiteral("Ort"));

    QVERIFY(w.click(QStringLiteral("Prop")));
    w.type(QStringLiteral("Name2"), QStringLiteral("Geändert"));
    w.type(QStringLiteral("Ort"), QStringLiteral("Anderswo"));
    QVERIFY(w.click(QStringLiteral("Undo")));
    QCOMPARE(w.shown(QStringLiteral("Name2")), name);
    QCOMPARE(w.shown(QStringLiteral("Ort")), ort);
    QVERIFY(!w.form.stamm().hatAenderungen());
    QCOMPARE(value(m_backend.check(), "Name2", nr).toString(), name);

    // Closing while editing asks; No drops the change.
    QVERIFY(w.click(QStringLiteral("Prop")));
    w.type(QStringLiteral("Name2"), QStringLiteral("Auch nicht"));
    w.reporter.answers = {false};
    QVERIFY(w.form.close());
    QCOMPARE(w.reporter.entries.size(), 1);
    QVERIFY(w.reporter.entries.first().question);
    QCOMPARE(value(m_backend.check(), "Name2", nr).toString(), name);
}

void KundenstammTests::newCustomerCancelledOrSaved()
{
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QVERIFY(w.click(QStringLiteral("Next")));
    QVERIFY(w.click(QStringLiteral("Next")));
    const qlonglong before = w.kundenNr();
    const int count = w.rows();

    QVERIFY(w.click(QStringLiteral("New")));
    QCOMPARE(w.status(), QStringLiteral("Neuer Kunde"));
    QCOMPARE(w.shown(QStringLiteral("KundenNrID")), QString::number(kKunden + 1));
    QVERIFY(!w.box(QStringLiteral("KundenNrID"))->Locked());
    QCOMPARE(w.shown(QStringLiteral("Name2")), QString());
    QCOMPARE(w.shown(QStringLiteral("KundeSeit")),
             QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    w.type(QStringLiteral("Name2"), QStringLiteral("Verworfen"));
    QVERIFY(w.click(QStringLiteral("Undo")));
    QCOMPARE(w.kundenNr(), before);
    QCOMPARE(w.rows(), count);
    QCOMPARE(numbers(m_backend.check(), QStringLiteral("KundenNrID > %1").arg(kKunden)),
             QList<qlonglong>());

    // Saved without a name: asked for one, still editing.
    QVERIFY(w.click(QStringLiteral("New")));
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.entries.size(), 1);
    QCOMPARE(w.reporter.entries.first().text,
             QStringLiteral("Bitte den Namen des Kunden eingeben."));
    QVERIFY(w.form.bearbeitet());
    w.type(QStringLiteral("Name2"), QStringLiteral("Neu, Nora"));
    w.type(QStringLiteral("PLZ"), QStringLiteral("01x067")); // digits only
    QCOMPARE(w.shown(QStringLiteral("PLZ")), QStringLiteral("01067"));
    w.type(QStringLiteral("Telefon1"), QStringLiteral("0351 123456"));
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.entries.size(), 1);
    QVERIFY(!w.form.bearbeitet());

    const qlonglong nr = kKunden + 1;
    QCOMPARE(w.kundenNr(), nr);
    QCOMPARE(w.rows(), count + 1);
    QSqlDatabase db = m_backend.check();
    QCOMPARE(value(db, "Name2", nr).toString(), QStringLiteral("Neu, Nora"));
    QCOMPARE(value(db, "MandNr", nr).toInt(), 1);
    QCOMPARE(value(db, "PLZ", nr).toString(), QStringLiteral("01067"));
    QVERIFY(value(db, "UnID", nr).toString().startsWith(QLatin1Char('{')));
    QVERIFY(value(db, "Telefon2", nr).isNull());
}

void KundenstammTests::deleteAskedNoThenYes()
{
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QVERIFY(w.click(QStringLiteral("Next")));
    const qlonglong nr = w.kundenNr();
    const qlonglong next =
        w.form.stamm().modell()->kundenNr(w.form.aktuelleZeile() + 1).toLongLong();

    w.reporter.answers = {false};
    QVERIFY(w.click(QStringLiteral("Delete")));
    QCOMPARE(w.reporter.entries.last().text, QStringLiteral("Datensatz löschen"));
    QCOMPARE(numbers(m_backend.check(), QStringLiteral("KundenNrID = %1").arg(nr)),
             QList<qlonglong>{nr});
    QCOMPARE(w.kundenNr(), nr);

    w.reporter.answers = {true};
    QVERIFY(w.click(QStringLiteral("Delete")));
    QCOMPARE(numbers(m_backend.check(), QStringLiteral("KundenNrID = %1").arg(nr)),
             QList<qlonglong>());
    QCOMPARE(w.reporter.entries.size(), 2); // the two questions, no error
    QCOMPARE(w.kundenNr(), next);           // the next customer takes its place
    QCOMPARE(w.rows(), 19);
}

void KundenstammTests::searchInTheTableView()
{
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QVERIFY(w.click(QStringLiteral("Next")));
    const qlonglong shownBefore = w.kundenNr();
    QVERIFY(w.click(QStringLiteral("VW-List")));
    QVERIFY(w.form.grdKunden()->isVisible());
    QCOMPARE(w.form.grdKunden()->currentIndex().row(), 1);

    // By a part of the name, in small letters, within the tenant.
    const QString name = w.shown(QStringLiteral("Name2"));
    const QString part = name.left(name.indexOf(u',')).toLower().mid(1);
    QList<qlonglong> expected;
    QSqlQuery all(m_backend.check());
    QVERIFY(all.exec(
        QStringLiteral("SELECT KundenNrID, Name2 FROM TKunden WHERE MandNr = 1 ORDER BY 1")));
    while (all.next()) {
        if (all.value(1).toString().contains(part, Qt::CaseInsensitive))
            expected << all.value(0).toLongLong();
    }
    typeInto(w.bar()->txtSuchen(), part);
    QVERIFY(expected.contains(shownBefore));
    QCOMPARE(w.shownNumbers(), expected);
    QCOMPARE(w.form.grdKunden()->model()->rowCount(), expected.size());
    QCOMPARE(w.kundenNr(), shownBefore); // still shown
    // By number; a wildcard is taken as a character.
    w.bar()->txtSuchen()->setText(QStringLiteral("42"));
    QCOMPARE(w.shownNumbers(), QList<qlonglong>{42});
    w.bar()->txtSuchen()->setText(QStringLiteral("%"));
    QCOMPARE(w.shownNumbers(), QList<qlonglong>());
    QCOMPARE(w.status(), QStringLiteral("Kein Kunde gefunden"));
    w.bar()->txtSuchen()->setText(QStringLiteral("' OR 1=1 --"));
    QCOMPARE(w.shownNumbers(), QList<qlonglong>());
    QVERIFY(w.reporter.entries.isEmpty());

    // The chosen customer is shown in the detail view, among all of the tenant.
    w.bar()->txtSuchen()->setText(QStringLiteral("K000033"));
    QCOMPARE(w.shownNumbers(), QList<qlonglong>{33});
    QVERIFY(w.click(QStringLiteral("VW-List")));
    QVERIFY(!w.form.grdKunden()->isVisible());
    QCOMPARE(w.kundenNr(), 33);
    QCOMPARE(w.rows(), 20);
    QVERIFY(shownBefore != 33);
}

void KundenstammTests::tenantChangeShowsThatTenantsCustomers()
{
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    w.bar()->cboMandant()->setCurrentIndex(1);
    QCOMPARE(w.bar()->BoundText(), QStringLiteral("2"));
    QCOMPARE(w.shownNumbers(), numbers(m_backend.check(), QStringLiteral("MandNr = 2")));
    QCOMPARE(w.kundenNr(), 1);
    // A new customer belongs to the tenant shown; the tenant list is locked meanwhile.
    QVERIFY(w.click(QStringLiteral("New")));
    QVERIFY(!w.bar()->cboMandant()->isEnabled());
    w.type(QStringLiteral("Name2"), QStringLiteral("Zweiter, Mandant"));
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(value(m_backend.check(), "MandNr", kKunden + 1).toInt(), 2);
    // The tenant is remembered for the next start.
    QVERIFY(w.form.close());
    Fenster again(m_folder->path());
    QVERIFY(again.load());
    QCOMPARE(again.bar()->BoundText(), QStringLiteral("2"));
    QCOMPARE(again.kundenNr(), 1);
}

void KundenstammTests::refreshKeepsTheCustomer()
{
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    for (int i = 0; i < 5; ++i)
        QVERIFY(w.click(QStringLiteral("Next")));
    const qlonglong nr = w.kundenNr();
    QCOMPARE(nr, 18);
    // Meanwhile another workstation renames it and deletes the customers before it.
    QSqlQuery change(m_backend.check());
    QVERIFY(change.exec(
        QStringLiteral("UPDATE TKunden SET Name2 = 'Anderswo, Geändert' WHERE KundenNrID = 18")));
    QVERIFY(change.exec(QStringLiteral("DELETE FROM TKunden WHERE KundenNrID IN (3, 6)")));
    QVERIFY(w.click(QStringLiteral("Refresh")));
    QCOMPARE(w.kundenNr(), 18);
    QCOMPARE(w.shown(QStringLiteral("Name2")), QStringLiteral("Anderswo, Geändert"));
    QCOMPARE(w.status(), QStringLiteral("Kunde 4 von 18"));

    // A customer deleted elsewhere while it is edited here: the change is
    // refused, not lost in silence, and stays in the form.
    QVERIFY(w.click(QStringLiteral("Prop")));
    w.type(QStringLiteral("Ort"), QStringLiteral("Nirgendwo"));
    QVERIFY(change.exec(QStringLiteral("DELETE FROM TKunden WHERE KundenNrID = 18")));
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.procedures(), QStringList{"KundeSpeichern"});
    QVERIFY(w.reporter.entries.first().text.contains(u"nicht mehr in der Tabelle"));
    QVERIFY(w.form.bearbeitet());
    QCOMPARE(w.shown(QStringLiteral("Ort")), QStringLiteral("Nirgendwo"));
}

void KundenstammTests::fieldsKeepNullAndConvertDates()
{
    // Customer 48 (tenant 1) has no street, UnID and kind (Null), two phones fewer.
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QSqlDatabase db = m_backend.check();
    QSqlQuery gap(db);
    QVERIFY(gap.exec(
        QStringLiteral("UPDATE TKunden SET Telefon2 = NULL, KundenArt = NULL, KundeSeit = NULL, "
                       "Mobil = '0171 55 ' WHERE KundenNrID = 48")));
    QVERIFY(w.click(QStringLiteral("Refresh")));
    while (w.kundenNr() != 48)
        QVERIFY(w.click(QStringLiteral("Next")));
    QCOMPARE(w.shown(QStringLiteral("KundenArt")), QStringLiteral("0"));
    QCOMPARE(w.shown(QStringLiteral("KundeSeit")), QString());

    QVERIFY(w.click(QStringLiteral("Prop")));
    w.type(QStringLiteral("Name2"), QStringLiteral("Lücke, Lotte"));
    QVERIFY(w.click(QStringLiteral("Save")));
    QVERIFY(w.reporter.entries.isEmpty());
    QCOMPARE(value(db, "Name2", 48).toString(), QStringLiteral("Lücke, Lotte"));
    QVERIFY(value(db, "Telefon2", 48).isNull());
    QVERIFY(value(db, "KundenArt", 48).isNull());
    QVERIFY(value(db, "KundeSeit", 48).isNull());
    QCOMPARE(value(db, "Mobil", 48).toString(), QStringLiteral("0171 55 "));

    // A date in the display form is stored as a date of the database.
    QVERIFY(w.click(QStringLiteral("Prop")));
    w.type(QStringLiteral("KundeSeit"), QStringLiteral("31022020")); // the dots come by themselves
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.entries.size(), 1);
    QCOMPARE(w.reporter.entries.first().text,
             QStringLiteral("Ungültiges Datumsformat! (tt.mm.yyyy)"));
    QVERIFY(w.form.bearbeitet());
    w.type(QStringLiteral("KundeSeit"), QStringLiteral("29022020"));
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.entries.size(), 1);
    const QVariant seit = value(db, "KundeSeit", 48);
    QCOMPARE(kundenstamm::KundenModell::textAusWert(seit), QStringLiteral("2020/02/29"));
    // A fraction reaches a number box with the decimal comma, never as thousands.
    QCOMPARE(kundenstamm::KundenModell::textAusWert(2.675), QStringLiteral("2,675"));
    QCOMPARE(kundenstamm::KundenModell::textAusWert(1234.5), QStringLiteral("1234,5"));
    QCOMPARE(w.shown(QStringLiteral("KundeSeit")), QStringLiteral("29.02.2020"));
}

void KundenstammTests::refusedSaveStaysInEditing()
{
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    const int count = numbers(m_backend.check(), QStringLiteral("1 = 1")).size();
    QVERIFY(w.click(QStringLiteral("New")));
    w.type(QStringLiteral("KundenNrID"), QStringLiteral("12")); // taken
    w.type(QStringLiteral("Name2"), QStringLiteral("Doppelt, Dora"));
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.procedures(), QStringList{"KundeSpeichern"});
    const auto& error = w.reporter.entries.first();
    QVERIFY2(error.title == QStringLiteral("Fehler: -2147217873"), qPrintable(error.text));
    QVERIFY2(error.text.contains(u"[Anweisung: INSERT INTO"), qPrintable(error.text));
    QVERIFY(w.form.bearbeitet());
    QVERIFY(w.bar()->Buttons(QStringLiteral("Save"))->isEnabled());
    QCOMPARE(numbers(m_backend.check(), QStringLiteral("1 = 1")).size(), count);
    QCOMPARE(w.shown(QStringLiteral("Name2")), QStringLiteral("Doppelt, Dora"));

    w.type(QStringLiteral("KundenNrID"), QStringLiteral("500"));
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.entries.size(), 1);
    QCOMPARE(value(m_backend.check(), "Name2", 500).toString(), QStringLiteral("Doppelt, Dora"));
    QCOMPARE(w.kundenNr(), 500);
}

void KundenstammTests::failedCommitKeepsTheChangeForTheNextSave()
{
    m_backend.blockCommit();
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    w.form.stamm().setWartezeit(300);
    QVERIFY(w.reporter.entries.isEmpty());
    const qlonglong nr = w.kundenNr();
    const QString name = w.shown(QStringLiteral("Name2"));
    QVERIFY(w.click(QStringLiteral("Prop")));
    w.type(QStringLiteral("Name2"), QStringLiteral("Abschluss, Anna"));
    w.type(QStringLiteral("Ort"), QStringLiteral("Commitstadt"));

    // The statements run, the commit fails: nothing is stored, the change
    // stays in the form.
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.procedures(), QStringList{"KundeSpeichern"});
    QVERIFY2(w.reporter.entries.first().text.contains(u"nicht gespeichert"),
             qPrintable(w.reporter.entries.first().text));
    QVERIFY(w.form.bearbeitet());
    QCOMPARE(w.shown(QStringLiteral("Name2")), QStringLiteral("Abschluss, Anna"));
    QCOMPARE(value(m_backend.check(), "Name2", nr).toString(), name);

    // The next Save writes the whole change again, and the form shows what
    // the database holds.
    m_backend.releaseCommit();
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.entries.size(), 1);
    QVERIFY(!w.form.bearbeitet());
    QCOMPARE(value(m_backend.check(), "Name2", nr).toString(), QStringLiteral("Abschluss, Anna"));
    QCOMPARE(value(m_backend.check(), "Ort", nr).toString(), QStringLiteral("Commitstadt"));
    QCOMPARE(w.kundenNr(), nr);
    QCOMPARE(w.shown(QStringLiteral("Ort")), QStringLiteral("Commitstadt"));
}

void KundenstammTests::customerWithoutNumberIsChangedAlone()
{
    // Two customers of the first tenant without a number, as an older
    // database may hold them.
    QSqlQuery gap(m_backend.check());
    QVERIFY(gap.exec(QStringLiteral("UPDATE TKunden SET KundenNrID = NULL, Name2 = 'Ohne, ' || "
                                    "SuchID, Ort = 'Altort' WHERE KundenNrID IN (6, 9)")));
    const int count = numbers(m_backend.check(), QStringLiteral("1 = 1")).size();
    auto ohneNummer = [&] {
        QSqlQuery query(m_backend.check());
        QStringList out;
        if (!query.exec(QStringLiteral(
                "SELECT Name2, Ort FROM TKunden WHERE KundenNrID IS NULL ORDER BY Name2")))
            qWarning() << query.lastError().text();
        while (query.next())
            out << query.value(0).toString() + u'/' + query.value(1).toString();
        return out;
    };
    const QStringList beide{"Ohne, K000006/Altort", "Ohne, K000009/Altort"};
    QCOMPARE(ohneNummer(), beide);

    if (!m_backend.rowsHaveAnId()) {
        // Neither a primary key nor a row id: such a row is not told apart
        // from the other, so it is neither changed nor deleted.
        Fenster w(m_folder->path());
        QVERIFY(w.load());
        QVERIFY(w.goTo(QStringLiteral("Ohne, K000006")));
        QVERIFY(w.click(QStringLiteral("Prop")));
        QVERIFY(w.box(QStringLiteral("KundenNrID"))->Locked());
        w.type(QStringLiteral("Ort"), QStringLiteral("Neuort"));
        QVERIFY(w.click(QStringLiteral("Save")));
        QCOMPARE(w.reporter.procedures(), QStringList{"KundeSpeichern"});
        QVERIFY2(w.reporter.entries.last().text.contains(u"keinen Primärschlüssel"),
                 qPrintable(w.reporter.entries.last().text));
        QVERIFY(w.form.bearbeitet());
        QVERIFY(w.click(QStringLiteral("Undo")));
        w.reporter.answers = {true};
        QVERIFY(w.click(QStringLiteral("Delete")));
        QCOMPARE(w.reporter.procedures(), (QStringList{"KundeSpeichern", "KundeLoeschen"}));
        QVERIFY(w.reporter.entries.last().text.contains(u"keinen Primärschlüssel"));
        QCOMPARE(ohneNummer(), beide);
        QCOMPARE(numbers(m_backend.check(), QStringLiteral("1 = 1")).size(), count);
        QVERIFY(w.form.close());
        m_backend.addPrimaryKey();
    }

    // The row is told apart: the customer gets a number, the other keeps its values.
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QVERIFY(w.goTo(QStringLiteral("Ohne, K000006")));
    QVERIFY(w.box(QStringLiteral("KundenNrID"))->Locked());
    QVERIFY(w.click(QStringLiteral("Prop")));
    QVERIFY(!w.box(QStringLiteral("KundenNrID"))->Locked());
    w.type(QStringLiteral("Ort"), QStringLiteral("Neuort"));
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.entries.size(), 1);
    QCOMPARE(w.reporter.entries.first().text,
             QStringLiteral("Bitte eine Kundennummer größer als 0 eingeben."));
    QVERIFY(w.form.bearbeitet());
    w.type(QStringLiteral("KundenNrID"), QStringLiteral("700"));
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.entries.size(), 1);
    QVERIFY(!w.form.bearbeitet());
    QCOMPARE(w.kundenNr(), 700);
    QCOMPARE(value(m_backend.check(), "Name2", 700).toString(), QStringLiteral("Ohne, K000006"));
    QCOMPARE(value(m_backend.check(), "Ort", 700).toString(), QStringLiteral("Neuort"));
    QCOMPARE(ohneNummer(), QStringList{"Ohne, K000009/Altort"});
    QVERIFY(w.click(QStringLiteral("Prop")));
    QVERIFY(w.box(QStringLiteral("KundenNrID"))->Locked()); // it has its number now
    QVERIFY(w.click(QStringLiteral("Undo")));

    // Deleting the other one deletes it alone.
    QVERIFY(w.goTo(QStringLiteral("Ohne, K000009")));
    w.reporter.answers = {true};
    QVERIFY(w.click(QStringLiteral("Delete")));
    QCOMPARE(w.reporter.entries.size(), 2); // the question, no error
    QCOMPARE(ohneNummer(), QStringList());
    QCOMPARE(numbers(m_backend.check(), QStringLiteral("1 = 1")).size(), count - 1);
}

void KundenstammTests::numberGivenTwiceChangesOneRowOrNone()
{
    // An older table without the unique index, a number given twice.
    QSqlQuery query(m_backend.check());
    QVERIFY(query.exec(QStringLiteral("DROP INDEX TKunden_KundenNrID")));
    QVERIFY(query.exec(QStringLiteral("UPDATE TKunden SET KundenNrID = 6, Name2 = 'Doppelt, ' || "
                                      "SuchID, Ort = 'Altort' WHERE KundenNrID IN (6, 9)")));
    auto doppelt = [&] {
        QSqlQuery rows(m_backend.check());
        QStringList out;
        if (!rows.exec(QStringLiteral(
                "SELECT Name2, Ort FROM TKunden WHERE KundenNrID = 6 ORDER BY Name2")))
            qWarning() << rows.lastError().text();
        while (rows.next())
            out << rows.value(0).toString() + u'/' + rows.value(1).toString();
        return out;
    };
    const QStringList vorher{"Doppelt, K000006/Altort", "Doppelt, K000009/Altort"};
    QCOMPARE(doppelt(), vorher);

    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QVERIFY(w.goTo(QStringLiteral("Doppelt, K000009")));
    QVERIFY(w.click(QStringLiteral("Prop")));
    w.type(QStringLiteral("Ort"), QStringLiteral("Neuort"));
    QVERIFY(w.click(QStringLiteral("Save")));
    w.reporter.answers = {true};
    if (m_backend.rowsHaveAnId()) {
        // The row id tells the two apart: one is changed, then one deleted.
        QVERIFY(w.reporter.entries.isEmpty());
        QCOMPARE(doppelt(), (QStringList{"Doppelt, K000006/Altort", "Doppelt, K000009/Neuort"}));
        QVERIFY(w.goTo(QStringLiteral("Doppelt, K000006")));
        QVERIFY(w.click(QStringLiteral("Delete")));
        QCOMPARE(w.reporter.procedures(), QStringList());
        QCOMPARE(doppelt(), QStringList{"Doppelt, K000009/Neuort"});
    } else {
        // The statement would change both: refused, rolled back.
        QCOMPARE(w.reporter.procedures(), QStringList{"KundeSpeichern"});
        QVERIFY2(w.reporter.entries.first().text.contains(u"träfe 2 Zeilen"),
                 qPrintable(w.reporter.entries.first().text));
        QVERIFY(w.form.bearbeitet());
        QVERIFY(w.click(QStringLiteral("Undo")));
        QVERIFY(w.click(QStringLiteral("Delete")));
        QCOMPARE(w.reporter.procedures(), (QStringList{"KundeSpeichern", "KundeLoeschen"}));
        QCOMPARE(doppelt(), vorher);
    }
}

void KundenstammTests::tenantAboveSixteenBits()
{
    QSqlQuery query(m_backend.check());
    QVERIFY(query.exec(
        QStringLiteral("INSERT INTO TMandanten (MandNr, MandName) VALUES (40000, 'Großmandant')")));
    QVERIFY(
        query.exec(QStringLiteral("UPDATE TKunden SET MandNr = 40000 WHERE KundenNrID IN (4, 8)")));

    Fenster w(m_folder->path());
    QVERIFY(w.load());
    const int at = w.bar()->cboMandant()->findText(QStringLiteral("Großmandant"));
    QVERIFY(at >= 0);
    w.bar()->cboMandant()->setCurrentIndex(at);
    QCOMPARE(w.bar()->BoundText(), QStringLiteral("40000"));
    QCOMPARE(w.shownNumbers(), (QList<qlonglong>{4, 8}));
    QVERIFY(w.click(QStringLiteral("New")));
    w.type(QStringLiteral("Name2"), QStringLiteral("Groß, Gustav"));
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(value(m_backend.check(), "MandNr", kKunden + 1).toLongLong(), 40000);
    QVERIFY(w.reporter.entries.isEmpty());

    // Back to a small tenant and, at the next start, the large one again.
    w.bar()->cboMandant()->setCurrentIndex(at == 0 ? 1 : 0);
    QVERIFY(!w.shownNumbers().contains(4));
    w.bar()->cboMandant()->setCurrentIndex(at);
    QVERIFY(w.form.close());
    Fenster again(m_folder->path());
    QVERIFY(again.load());
    QCOMPARE(again.bar()->BoundText(), QStringLiteral("40000"));
    QCOMPARE(again.shownNumbers(), (QList<qlonglong>{4, 8, kKunden + 1}));
    QVERIFY(again.reporter.entries.isEmpty());
}

void KundenstammTests::searchFindsUmlautsInAnyCase()
{
    QSqlDatabase db = m_backend.check();
    QSqlQuery insert(db);
    QVERIFY(insert.prepare(QStringLiteral(
        "INSERT INTO TKunden (MandNr, KundenNrID, SuchID, Name2) VALUES (1, ?, ?, ?)")));
    const QList<std::pair<QString, QString>> kunden{
        {QStringLiteral("MÜLLER"), QStringLiteral("Müller, Hans")},
        {QStringLiteral("LÜDENSCHEIDT"), QStringLiteral("MÜLLER-LÜDENSCHEIDT, ÖDÖN")},
        {QStringLiteral("PRAXIS"), QStringLiteral("Ärztehaus am Markt")},
        {QStringLiteral("ÉCOLE"), QStringLiteral("École Française")},
        {QStringLiteral("MULLER"), QStringLiteral("Muller, Ohne Punkte")},
    };
    for (int i = 0; i < kunden.size(); ++i) {
        insert.addBindValue(2001 + i);
        insert.addBindValue(kunden[i].first);
        insert.addBindValue(kunden[i].second);
        QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
    }
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QVERIFY(w.click(QStringLiteral("VW-List")));
    const QList<std::pair<QString, QList<qlonglong>>> searches{
        {QStringLiteral("müller"), {2001, 2002}}, {QStringLiteral("MÜLLER"), {2001, 2002}},
        {QStringLiteral("ödön"), {2002}},         {QStringLiteral("ÄRZTE"), {2003}},
        {QStringLiteral("ärztehaus AM"), {2003}}, {QStringLiteral("école"), {2004}},
        {QStringLiteral("muller"), {2005}},
    };
    for (const auto& [text, expected] : searches) {
        w.bar()->txtSuchen()->setText(text);
        QVERIFY2(w.shownNumbers() == expected, qPrintable(text));
    }
    QVERIFY(w.reporter.entries.isEmpty());
}

void KundenstammTests::lockedDatabaseIsReportedAndNothingHalfSaved()
{
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    w.form.stamm().setWartezeit(300);
    const qlonglong nr = w.kundenNr();
    const QString name = w.shown(QStringLiteral("Name2"));
    QVERIFY(w.click(QStringLiteral("Prop")));
    w.type(QStringLiteral("Name2"), QStringLiteral("Gesperrt, Gerd"));
    w.type(QStringLiteral("Ort"), QStringLiteral("Sperrstadt"));

    m_backend.lock();
    QVERIFY(w.click(QStringLiteral("Save")));
    m_backend.unlock();
    QCOMPARE(w.reporter.procedures(), QStringList{"KundeSpeichern"});
    QVERIFY2(w.reporter.entries.first().text.contains(u"gesperrt") ||
                 w.reporter.entries.first().text.contains(u"locked"),
             qPrintable(w.reporter.entries.first().text));
    QVERIFY(w.form.bearbeitet());
    QCOMPARE(value(m_backend.check(), "Name2", nr).toString(), name);

    // Once the other program lets go, the same changes are saved.
    QVERIFY(w.click(QStringLiteral("Save")));
    QCOMPARE(w.reporter.entries.size(), 1);
    QCOMPARE(value(m_backend.check(), "Name2", nr).toString(), QStringLiteral("Gesperrt, Gerd"));
    QCOMPARE(value(m_backend.check(), "Ort", nr).toString(), QStringLiteral("Sperrstadt"));
}

void KundenstammTests::missingDatabaseIsReportedAndRefreshConnects()
{
    const QString udl = m_folder->filePath(QStringLiteral("udlAdressen.UDL"));
    const QString kept = udl + QStringLiteral(".weg");
    QVERIFY(QFile::rename(udl, kept));
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QCOMPARE(w.reporter.procedures(), QStringList{"DatenbankOeffnen"});
    QCOMPARE(w.reporter.entries.first().title, QStringLiteral("Fehler: 53"));
    QCOMPARE(w.status(), QStringLiteral("Keine Verbindung zur Kundendatenbank"));
    QVERIFY(!w.click(QStringLiteral("New")));
    QVERIFY(!w.click(QStringLiteral("Next")));

    QVERIFY(QFile::rename(kept, udl));
    QVERIFY(w.click(QStringLiteral("Refresh")));
    QCOMPARE(w.reporter.entries.size(), 1);
    QCOMPARE(w.kundenNr(), 3);
    QVERIFY(w.click(QStringLiteral("New")));
}

void KundenstammTests::editedNumberReachesTheNumberIndex()
{
    // The server's folder next to the customers: its database and INI file.
    const QString folder = m_folder->path();
    sampledata::writeSqliteUdl(folder + QStringLiteral("/udlVorsa.UDL"),
                               QStringLiteral("vorsa.db"));
    sampledata::generateServerDatabase(folder + QStringLiteral("/udlVorsa.UDL"), 1);
    IniSchreiben(QStringLiteral("Settings"), QStringLiteral("Application"),
                 folder + QStringLiteral("/VorsaSrv.INI"), QStringLiteral("KUNDEN"));

    Fenster w(folder);
    QVERIFY(w.load());
    const qlonglong nr = w.kundenNr();
    QVERIFY(w.click(QStringLiteral("Prop")));
    w.type(QStringLiteral("Vorwahl"), QStringLiteral("0521"));
    w.type(QStringLiteral("Telefon1"), QStringLiteral("98 76-54"));
    QVERIFY(w.click(QStringLiteral("Save")));
    QVERIFY(w.reporter.entries.isEmpty());

    RecordingReporter serverReporter;
    QCOMPARE(runBuildIndex(folder, serverReporter), 0);
    QSqlDatabase index = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "index");
    index.setDatabaseName(folder + QStringLiteral("/vorsa.db"));
    QVERIFY(index.open());
    {
        QSqlQuery query(index);
        QVERIFY(query.exec(
            QStringLiteral("SELECT KundenNrID FROM TTelefonNr WHERE TelefonNr = '0521987654'")));
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toLongLong(), nr);
    }
    index.close();
    index = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("index"));
}

void KundenstammTests::formOfTheProgramFolderIsUsed()
{
    QFile builtIn(QStringLiteral(":/kundenstamm/frmKunden.ui"));
    QVERIFY(builtIn.open(QIODevice::ReadOnly));
    const QString form = QString::fromUtf8(builtIn.readAll());
    QVERIFY(form.contains(u"<string>Ort</string>"));
    auto writeForm = [&](const QString& text) {
        QFile own(m_folder->filePath(QStringLiteral("frmKunden.ui")));
        QVERIFY(own.open(QIODevice::WriteOnly | QIODevice::Truncate));
        own.write(text.toUtf8());
    };

    // Another caption, and boxes for columns the table does not have.
    QString changed = form;
    changed.replace(QStringLiteral("S&amp;traße:"), QStringLiteral("Anschrift:"))
        .replace(QStringLiteral("<string>Ort</string>"), QStringLiteral("<string>Wohnort</string>"))
        .replace(QStringLiteral("<string>Name2</string>"),
                 QStringLiteral("<string>Firma</string>"));
    writeForm(changed);
    {
        Fenster w(m_folder->path());
        QVERIFY(w.load());
        QVERIFY(w.reporter.entries.isEmpty());
        QCOMPARE(w.form.findChild<QLabel*>(QStringLiteral("lblStrasse"))->text(),
                 QStringLiteral("Anschrift:"));
        QVERIFY(!w.box(QStringLiteral("Wohnort"))->Enabled());
        QCOMPARE(w.shown(QStringLiteral("Wohnort")), QString());
        QCOMPARE(w.kundenNr(), 3);
        // A form without the name saves without asking for one.
        QVERIFY(w.click(QStringLiteral("Prop")));
        w.type(QStringLiteral("Straße"), QStringLiteral("Neuer Weg 1"));
        QVERIFY(w.click(QStringLiteral("Save")));
        QVERIFY(w.reporter.entries.isEmpty());
        QCOMPARE(value(m_backend.check(), "Straße", 3).toString(), QStringLiteral("Neuer Weg 1"));
    }

    // A field that is no text box of the family: the form is refused.
    QString broken = form;
    broken.replace(QStringLiteral("class=\"uscTextBox\" name=\"txtName2\""),
                   QStringLiteral("class=\"QLineEdit\" name=\"txtName2\""));
    writeForm(broken);
    Fenster w(m_folder->path());
    QVERIFY(!w.form.Form_Load());
    QCOMPARE(w.reporter.procedures(), QStringList{"FormularLaden"});
    QCOMPARE(w.reporter.entries.first().title, QStringLiteral("Fehler: 429"));
    QVERIFY(w.reporter.entries.first().text.contains(u"txtName2"));
}

void KundenstammTests::printedListHoldsEveryShownCustomerOnce()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    // Enough customers of the tenant for three pages of the list.
    QSqlDatabase db = m_backend.check();
    QVERIFY(db.transaction());
    QSqlQuery insert(db);
    QVERIFY(insert.prepare(QStringLiteral(
        "INSERT INTO TKunden (MandNr, KundenNrID, SuchID, Name2, Ort) VALUES (1, ?, ?, ?, ?)")));
    QStringList expected;
    for (int i = 1; i <= 120; ++i) {
        insert.addBindValue(1000 + i);
        insert.addBindValue(QStringLiteral("L%1").arg(1000 + i));
        insert.addBindValue(QStringLiteral("Listenkunde, Nummer %1").arg(i));
        insert.addBindValue(QStringLiteral("Ort mit einem sehr langen Namen, der in seiner "
                                           "Spalte keinen Platz hat %1")
                                .arg(i));
        QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
        expected << QStringLiteral("L%1").arg(1000 + i);
    }
    QVERIFY(db.commit());

    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QVERIFY(w.click(QStringLiteral("VW-List")));
    typeInto(w.bar()->txtSuchen(), QStringLiteral("listenkunde"));
    QCOMPARE(w.rows(), 120);
    QTRY_VERIFY(w.bar()->Buttons(QStringLiteral("Print"))->isEnabled());
    QVERIFY(w.click(QStringLiteral("Print")));
    QVERIFY(w.reporter.entries.isEmpty());
    OrvoReport2::clsReport* report = w.form.letzterBericht();
    QVERIFY(report);
    QVERIFY(report->Sichtbar());

    const QString pdf = m_folder->filePath(QStringLiteral("liste.pdf"));
    QVERIFY(report->PdfSpeichern(pdf));
    const QStringList pages = reporttest::seitenTexte(pdf);
    QCOMPARE(pages.size(), 3);
    QStringList printed;
    static const QRegularExpression suchId(QStringLiteral("\\b[KL]\\d{4,6}\\b"));
    for (int page = 0; page < pages.size(); ++page) {
        const QString& text = pages[page];
        QVERIFY2(text.contains(u"Kundenliste") && text.contains(u"Suche: listenkunde"),
                 qPrintable(text.left(200)));
        QVERIFY2(text.contains(u"Nr. Suchbegriff Name Straße PLZ Ort"), qPrintable(text.left(400)));
        QVERIFY(text.contains(QStringLiteral("Seite %1 von 3").arg(page + 1)));
        for (auto it = suchId.globalMatch(text); it.hasNext();)
            printed << it.next().captured(0);
    }
    QCOMPARE(printed, expected);           // each shown customer once, in the order shown
    QVERIFY(pages.first().contains(u"…")); // a value too wide for its column is cut

    // Closing the preview releases the report.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowTitle().endsWith(u"Kundenliste"))
            window->close();
    }
    QTRY_VERIFY(!w.form.letzterBericht());
}

void KundenstammTests::printedSheetShowsTheFieldsOfTheForm()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    Fenster w(m_folder->path());
    QVERIFY(w.load());
    QVERIFY(w.click(QStringLiteral("Print")));
    QVERIFY(w.reporter.entries.isEmpty());
    OrvoReport2::clsReport* report = w.form.letzterBericht();
    QVERIFY(report);
    const QString pdf = m_folder->filePath(QStringLiteral("blatt.pdf"));
    QVERIFY(report->PdfSpeichern(pdf));
    const QStringList pages = reporttest::seitenTexte(pdf);
    QCOMPARE(pages.size(), 1);
    const QString& text = pages.first();
    QVERIFY2(text.startsWith(QStringLiteral("Kunde 3 Taxi Bielefeld")), qPrintable(text));
    for (const QString& field :
         {QStringLiteral("Name2"), QStringLiteral("Telefon1"), QStringLiteral("KundeSeit")}) {
        const QString value = w.shown(field);
        QVERIFY(!value.isEmpty());
        QVERIFY2(text.contains(value), qPrintable(value));
    }
    QVERIFY(text.contains(QStringLiteral("Telefon 1: ") + w.shown(QStringLiteral("Telefon1"))));
    QVERIFY(text.contains(QStringLiteral("Kunde seit: ") + w.shown(QStringLiteral("KundeSeit"))));

    // The screen print on a machine without printers.
    QVERIFY(w.click(QStringLiteral("PrintScreen")));
    QCOMPARE(w.reporter.entries.size(), 1);
    QCOMPARE(w.reporter.entries.first().text, QStringLiteral("Kein Drucker vorhanden!"));
    QCOMPARE(w.reporter.entries.first().title, QStringLiteral("Kundenstamm"));

    // Closing the program closes its previews.
    QVERIFY(w.form.close());
    QVERIFY(!w.form.letzterBericht());
}

} // namespace vorsa::test

#include "tenanttests.h"

#include "db/schema.h"
#include "reporter.h"
#include "usctoolbstamm.h"

#include <QComboBox>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace vorsa::test {

namespace {

const QString kConnection = QStringLiteral("mandanten");

struct Toolbar {
    uscToolbStamm bar;
    RecordingReporter reporter;
    QList<std::pair<int, int>> changes; // SelectedItem, NeuerMandant

    Toolbar()
    {
        bar.setReporter(&reporter);
        QObject::connect(&bar, &uscToolbStamm::ButtonClickMandantChange, &bar,
                         [this](qint16 item, qint16 tenant) {
                             changes.append({item, tenant});
                         });
    }
    QStringList shown() const
    {
        QStringList out;
        for (int i = 0; i < bar.cboMandant()->count(); ++i)
            out << bar.cboMandant()->itemText(i);
        return out;
    }
};

} // namespace

void TenantListTests::initTestCase()
{
    if (!m_backend.unavailableReason().isEmpty())
        QSKIP(qPrintable(m_backend.unavailableReason()));
    m_db = m_backend.open(kConnection);
    QVERIFY2(m_db.isOpen(), qPrintable(m_db.lastError().text()));
}

void TenantListTests::init()
{
    QSqlQuery query(m_db);
    query.exec(QStringLiteral("DROP TABLE IF EXISTS TMandanten"));
    for (const QString& statement :
         db::schemaStatements(m_backend.engine(), QStringLiteral("TMandanten")))
        QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
}

void TenantListTests::cleanupTestCase()
{
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(kConnection);
}

void TenantListTests::fill(const QList<std::pair<int, QString>>& tenants)
{
    m_db.transaction();
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("INSERT INTO TMandanten (MandNr, MandName) VALUES (?, ?)"));
    for (const auto& [number, name] : tenants) {
        query.addBindValue(number);
        query.addBindValue(name);
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
    }
    m_db.commit();
}

void TenantListTests::listShowsTheNamesInTenantOrder()
{
    fill(
        {{7, QStringLiteral("Süd")}, {1, QStringLiteral("Zentrale")}, {2, QStringLiteral("Nord")}});
    Toolbar t;
    t.bar.setRowSource(kConnection);
    QCOMPARE(t.shown(), (QStringList{"Zentrale", "Nord", "Süd"}));
    QCOMPARE(t.bar.cboMandant()->currentIndex(), -1); // nothing chosen yet
    QCOMPARE(t.bar.BoundText(), QString());
    QVERIFY(t.changes.isEmpty());
    QVERIFY(t.reporter.entries.isEmpty());

    // Shown and bound column can be any columns of the table.
    t.bar.setListField(QStringLiteral("MandNr"));
    QCOMPARE(t.shown(), (QStringList{"1", "2", "7"}));
}

void TenantListTests::boundTextSelectsAndReportsTheTenant()
{
    fill(
        {{7, QStringLiteral("Süd")}, {1, QStringLiteral("Zentrale")}, {2, QStringLiteral("Nord")}});
    Toolbar t;
    t.bar.setRowSource(kConnection);
    t.bar.setBoundText(QStringLiteral("7"));
    QCOMPARE(t.bar.cboMandant()->currentText(), QStringLiteral("Süd"));
    QCOMPARE(t.changes, (QList<std::pair<int, int>>{{3, 7}}));
    // The user picks another tenant.
    t.bar.cboMandant()->setCurrentIndex(1);
    QCOMPARE(t.bar.BoundText(), QStringLiteral("2"));
    QCOMPARE(t.changes.last(), (std::pair<int, int>{2, 2}));
    // A value that is not in the list chooses none and reports nothing.
    t.bar.setBoundText(QStringLiteral("99"));
    QCOMPARE(t.bar.cboMandant()->currentIndex(), -1);
    QCOMPARE(t.changes.size(), 2);
    QVERIFY(t.reporter.entries.isEmpty());

    // A bound value given before the list is read is chosen once it is.
    Toolbar u;
    u.bar.setBoundText(QStringLiteral("2"));
    u.bar.setRowSource(kConnection);
    QCOMPARE(u.bar.cboMandant()->currentText(), QStringLiteral("Nord"));
}

void TenantListTests::everyRowIsReachable()
{
    QList<std::pair<int, QString>> tenants;
    for (int i = 1; i <= 600; ++i)
        tenants.append({i, QStringLiteral("Mandant %1").arg(i)});
    fill(tenants);
    Toolbar t;
    t.bar.setRowSource(kConnection);
    QCOMPARE(t.bar.cboMandant()->count(), 600);
    t.bar.setBoundText(QStringLiteral("600"));
    QCOMPARE(t.bar.cboMandant()->currentText(), QStringLiteral("Mandant 600"));
    QCOMPARE(t.changes, (QList<std::pair<int, int>>{{600, 600}}));
}

void TenantListTests::aBoundValueThatIsNoNumberIsReported()
{
    fill({{1, QStringLiteral("Zentrale")}, {2, QStringLiteral("Nord")}});
    Toolbar t;
    t.bar.setBoundColumn(QStringLiteral("MandName"));
    t.bar.setRowSource(kConnection);
    t.bar.cboMandant()->setCurrentIndex(1);
    QCOMPARE(t.bar.BoundText(), QStringLiteral("Zentrale"));
    QVERIFY(t.changes.isEmpty());
    QCOMPARE(t.reporter.entries.size(), 1);
    QCOMPARE(t.reporter.entries.first().title, QStringLiteral("Fehler: 13"));
    QCOMPARE(t.reporter.procedures(), QStringList{"cboMandant_Change"});
}

void TenantListTests::missingTableOrColumnIsReported()
{
    Toolbar t;
    t.bar.setRowMember(QStringLiteral("TGibtEsNicht"));
    t.bar.setRowSource(kConnection);
    QCOMPARE(t.bar.cboMandant()->count(), 0);
    QCOMPARE(t.reporter.procedures(), QStringList{"MandantenLaden"});
    t.reporter.clear();
    t.bar.setRowMember(QStringLiteral("TMandanten"));
    t.bar.setListField(QStringLiteral("MandKurz"));
    QCOMPARE(t.reporter.entries.size(), 1);
    QCOMPARE(t.reporter.entries.first().title, QStringLiteral("Fehler: 3265"));
    QVERIFY(t.reporter.entries.first().text.contains(u"MandKurz"));
}

void TenantListTests::aConnectionOpenedLaterIsReadWhenNamedAgain()
{
    fill({{1, QStringLiteral("Zentrale")}});
    Toolbar t;
    t.bar.setRowSource(QStringLiteral("spaeter"));
    QCOMPARE(t.bar.cboMandant()->count(), 0);
    QVERIFY(t.reporter.entries.isEmpty()); // not open yet: no error
    {
        QSqlDatabase later = m_backend.open(QStringLiteral("spaeter"));
        QVERIFY(later.isOpen());
        t.bar.setRowSource(QStringLiteral("spaeter"));
        QCOMPARE(t.shown(), QStringList{"Zentrale"});
    }
    QSqlDatabase::removeDatabase(QStringLiteral("spaeter"));
}

void TenantListTests::theListOutlivesTheHostsConnection()
{
    fill({{1, QStringLiteral("Zentrale")}, {2, QStringLiteral("Nord")}});
    Toolbar t;
    {
        QSqlDatabase kurz = m_backend.open(QStringLiteral("kurz"));
        QVERIFY(kurz.isOpen());
        t.bar.setRowSource(QStringLiteral("kurz"));
        t.bar.setBoundText(QStringLiteral("1"));
        // The host closes and releases its connection once the list is read.
        kurz.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("kurz"));
    QCOMPARE(t.shown(), (QStringList{"Zentrale", "Nord"}));
    QCOMPARE(t.bar.BoundText(), QStringLiteral("1"));
    t.bar.cboMandant()->setCurrentIndex(1);
    QCOMPARE(t.bar.BoundText(), QStringLiteral("2"));
    QCOMPARE(t.changes.last(), (std::pair<int, int>{2, 2}));
    QVERIFY(t.reporter.entries.isEmpty());
}

} // namespace vorsa::test

// The customer program on a copy of a generated SQLite database.

#include "kundenstammtests.h"

#include <QApplication>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>

#include "pgcluster.h"

namespace {

class SqliteBackend : public vorsa::test::KundenBackend {
public:
    QString unavailableReason() const override { return QString(); }
    void prepare(const QString& generatedSqlite, const QString& folder) override
    {
        close();
        m_file = folder + QStringLiteral("/adressen.db");
        QFile::copy(generatedSqlite, m_file);
        vorsa::test::writeSqliteUdl(folder + QStringLiteral("/udlAdressen.UDL"),
                                    QStringLiteral("adressen.db"), false);
    }
    QSqlDatabase check() override { return open(QStringLiteral("pruefung")); }
    void lock() override
    {
        QSqlQuery(open(QStringLiteral("sperre"))).exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    void unlock() override
    {
        QSqlQuery(open(QStringLiteral("sperre"))).exec(QStringLiteral("ROLLBACK"));
    }
    void blockCommit() override
    {
        // With the rollback journal a reader's shared lock keeps a writer
        // from committing; the program, opening the database meanwhile,
        // cannot switch it to WAL.
        QSqlQuery query(open(QStringLiteral("sperre")));
        QVERIFY2(query.exec(QStringLiteral("PRAGMA journal_mode=DELETE")) && query.next() &&
                     query.value(0).toString() == u"delete",
                 qPrintable(query.lastError().text()));
        QVERIFY(query.exec(QStringLiteral("BEGIN")));
        QVERIFY(query.exec(QStringLiteral("SELECT COUNT(*) FROM TKunden")) && query.next());
    }
    void releaseCommit() override { unlock(); }
    bool rowsHaveAnId() const override { return true; }
    void addPrimaryKey() override {}
    ~SqliteBackend() override { close(); }

private:
    QSqlDatabase open(const QString& name)
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (!db.isValid())
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        if (db.databaseName() != m_file || !db.isOpen()) {
            db.close();
            db.setDatabaseName(m_file);
            db.open();
        }
        return db;
    }
    void close()
    {
        for (const QString& name : {QStringLiteral("pruefung"), QStringLiteral("sperre")}) {
            if (QSqlDatabase::contains(name)) {
                QSqlDatabase::database(name, false).close();
                QSqlDatabase::removeDatabase(name);
            }
        }
    }
    QString m_file;
};

} // namespace

int main(int argc, char* argv[])
{
    // Reports on the A4 page of a machine without printers, whatever this one has.
    qputenv("CUPS_SERVER", "/nonexistent/vorsa-test-no-cups.sock");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    SqliteBackend backend;
    vorsa::test::KundenstammTests tests(backend);
    return QTest::qExec(&tests, argc, argv);
}

// The customer program on a throwaway PostgreSQL server, filled from a
// generated customer-management database.

#include "db/schema.h"
#include "kundenstammtests.h"
#include "pgcluster.h"

#include <QApplication>
#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString kDatabase = QStringLiteral("kunden");

class PostgresBackend : public vorsa::test::KundenBackend {
public:
    QString unavailableReason() const override
    {
        return m_cluster.available() ? QString() : m_cluster.reason();
    }
    void prepare(const QString& generatedSqlite, const QString& folder) override
    {
        QSqlDatabase db = check();
        QSqlQuery query(db);
        exec(query, QStringLiteral("DROP TABLE IF EXISTS TKunden, TMandanten"));
        for (const QString& table : {QStringLiteral("TKunden"), QStringLiteral("TMandanten")}) {
            for (const QString& statement :
                 vorsa::db::schemaStatements(QStringLiteral("postgresql"), table))
                exec(query, statement);
        }
        {
            QSqlDatabase source = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "quelle");
            source.setDatabaseName(generatedSqlite);
            source.open();
            for (const QString& table : {QStringLiteral("TKunden"), QStringLiteral("TMandanten")})
                copy(source, db, table);
            source.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("quelle"));
        m_cluster.writeUdl(folder + QStringLiteral("/udlAdressen.UDL"), kDatabase);
    }
    QSqlDatabase check() override { return open(QStringLiteral("pruefung")); }
    void lock() override
    {
        QSqlQuery query(open(QStringLiteral("sperre")));
        exec(query, QStringLiteral("BEGIN"));
        exec(query, QStringLiteral("LOCK TABLE TKunden IN EXCLUSIVE MODE"));
    }
    void unlock() override
    {
        QSqlQuery query(open(QStringLiteral("sperre")));
        exec(query, QStringLiteral("ROLLBACK"));
    }
    void blockCommit() override
    {
        QSqlQuery query(check());
        exec(query, QStringLiteral("CREATE OR REPLACE FUNCTION kunden_abschluss() RETURNS trigger "
                                   "LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'Abschluss "
                                   "verweigert' USING ERRCODE = 'check_violation'; END $$"));
        exec(query, QStringLiteral("CREATE CONSTRAINT TRIGGER kunden_abschluss AFTER INSERT OR "
                                   "UPDATE OR DELETE ON TKunden DEFERRABLE INITIALLY DEFERRED FOR "
                                   "EACH ROW EXECUTE FUNCTION kunden_abschluss()"));
    }
    void releaseCommit() override
    {
        QSqlQuery query(check());
        exec(query, QStringLiteral("DROP TRIGGER kunden_abschluss ON TKunden"));
    }
    bool rowsHaveAnId() const override { return false; }
    void addPrimaryKey() override
    {
        QSqlQuery query(check());
        exec(query, QStringLiteral("ALTER TABLE TKunden ADD COLUMN Nr serial PRIMARY KEY"));
    }

private:
    static void exec(QSqlQuery& query, const QString& statement)
    {
        if (!query.exec(statement))
            qFatal("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
    }
    // The rows of a table, dates of the text form made dates of the database.
    static void copy(const QSqlDatabase& from, const QSqlDatabase& to, const QString& table)
    {
        QSqlQuery rows(from);
        rows.exec(QStringLiteral("SELECT * FROM %1").arg(table));
        QSqlQuery insert(to);
        bool prepared = false;
        while (rows.next()) {
            const QSqlRecord record = rows.record();
            if (!prepared) {
                QStringList names, marks;
                for (int i = 0; i < record.count(); ++i) {
                    names << record.fieldName(i);
                    marks << QStringLiteral("?");
                }
                insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                   .arg(table, names.join(u','), marks.join(u',')));
                prepared = true;
            }
            for (int i = 0; i < record.count(); ++i) {
                QVariant value = record.value(i);
                if (record.fieldName(i) == u"KundeSeit" && !value.isNull())
                    value = QDate::fromString(value.toString(), QStringLiteral("yyyy/MM/dd"));
                insert.addBindValue(value);
            }
            if (!insert.exec())
                qFatal("%s", qPrintable(insert.lastError().text()));
        }
    }
    QSqlDatabase open(const QString& name)
    {
        if (!m_created) {
            QString error;
            if (!m_cluster.createDatabase(kDatabase, &error))
                qFatal("cannot create the database: %s", qPrintable(error));
            m_created = true;
        }
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (!db.isValid()) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setHostName(m_cluster.host());
            db.setPort(m_cluster.port());
            db.setUserName(m_cluster.user());
            db.setDatabaseName(kDatabase);
        }
        if (!db.isOpen())
            db.open();
        return db;
    }

    vorsa::test::PgCluster m_cluster;
    bool m_created = false;
};

} // namespace

int main(int argc, char* argv[])
{
    // Reports on the A4 page of a machine without printers, whatever this one has.
    qputenv("CUPS_SERVER", "/nonexistent/vorsa-test-no-cups.sock");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    PostgresBackend backend;
    vorsa::test::KundenstammTests tests(backend);
    return QTest::qExec(&tests, argc, argv);
}

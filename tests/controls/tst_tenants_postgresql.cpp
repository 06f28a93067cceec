// The toolbar's tenant list on a throwaway PostgreSQL server.

#include "pgcluster.h"
#include "tenanttests.h"

#include <QApplication>
#include <QTest>

namespace {

class PostgresBackend : public vorsa::test::TenantBackend {
public:
    QString engine() const override { return QStringLiteral("postgresql"); }
    QString unavailableReason() const override
    {
        return m_cluster.available() ? QString() : m_cluster.reason();
    }
    QSqlDatabase open(const QString& name) override
    {
        if (!m_created) {
            QString error;
            if (!m_cluster.createDatabase(QStringLiteral("mandanten"), &error))
                qFatal("cannot create the database: %s", qPrintable(error));
            m_created = true;
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(m_cluster.host());
        db.setPort(m_cluster.port());
        db.setUserName(m_cluster.user());
        db.setDatabaseName(QStringLiteral("mandanten"));
        db.open();
        return db;
    }

private:
    vorsa::test::PgCluster m_cluster;
    bool m_created = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    PostgresBackend backend;
    vorsa::test::TenantListTests tests(backend);
    return QTest::qExec(&tests, argc, argv);
}

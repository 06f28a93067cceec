// The lookup and booking tests against a throwaway PostgreSQL server.

#include "databasetests.h"
#include "pgcluster.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <memory>

namespace {

class PostgresBackend : public vorsa::test::DatabaseBackend {
public:
    QString name() const override { return QStringLiteral("PostgreSQL"); }
    QString unavailableReason() const override
    {
        return m_cluster->available() ? QString() : m_cluster->reason();
    }
    // One database for the run (creating one takes long); the tests drop
    // their tables first.
    void createDatabase(const QString& folder) override
    {
        const QString name = QStringLiteral("calls");
        QString error;
        if (!m_created && !m_cluster->createDatabase(name, &error))
            qFatal("cannot create database %s: %s", qPrintable(name), qPrintable(error));
        m_created = true;
        m_cluster->writeUdl(QDir(folder).absoluteFilePath(QStringLiteral("udlVorsa.UDL")), name);
    }
    // The server stops: the data-link file still names it.
    void makeUnreachable(const QString&) override { m_cluster.reset(); }

private:
    std::unique_ptr<vorsa::test::PgCluster> m_cluster = std::make_unique<vorsa::test::PgCluster>();
    bool m_created = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    PostgresBackend backend;
    vorsa::test::DatabaseTests tests(backend);
    return QTest::qExec(&tests, argc, argv);
}

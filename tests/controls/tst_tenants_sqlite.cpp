// The toolbar's tenant list on a SQLite database.

#include "tenanttests.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

namespace {

class SqliteBackend : public vorsa::test::TenantBackend {
public:
    QString engine() const override { return QStringLiteral("sqlite"); }
    QString unavailableReason() const override { return QString(); }
    QSqlDatabase open(const QString& name) override
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_dir.filePath(QStringLiteral("mandanten.db")));
        db.open();
        return db;
    }

private:
    QTemporaryDir m_dir;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    SqliteBackend backend;
    vorsa::test::TenantListTests tests(backend);
    return QTest::qExec(&tests, argc, argv);
}

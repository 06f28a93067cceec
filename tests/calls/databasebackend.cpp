#include "databasebackend.h"

#include "db/udl.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QStringList>

namespace vorsa::test {

QString connectionStringFor(const QString& folder)
{
    return QStringLiteral("File Name=") +
           QDir(folder).absoluteFilePath(QStringLiteral("udlVorsa.UDL"));
}

void SqliteBackend::createDatabase(const QString& folder)
{
    // The database layer opens existing files only: create an empty one.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                    QStringLiteral("calls-test-create"));
        db.setDatabaseName(QDir(folder).absoluteFilePath(QStringLiteral("calls.db")));
        if (!db.open())
            qFatal("cannot create the SQLite file in %s", qPrintable(folder));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("calls-test-create"));
    db::writeUdl(QDir(folder).absoluteFilePath(QStringLiteral("udlVorsa.UDL")),
                 QStringLiteral("Provider=SQLite;Data Source=calls.db"));
}

void SqliteBackend::makeUnreachable(const QString& folder)
{
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(
            QDir(folder).absoluteFilePath(QStringLiteral("calls.db") + QLatin1String(suffix)));
}

} // namespace vorsa::test

#include "databasetests.h"

#include <QCoreApplication>
#include <QTest>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    vorsa::test::SqliteBackend backend;
    vorsa::test::DatabaseTests tests(backend);
    return QTest::qExec(&tests, argc, argv);
}

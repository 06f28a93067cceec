#pragma once

#include "testfiles.h"

#include <QString>
#include <QTemporaryDir>

namespace vorsa::test {

// The engine a database test runs on: gives a fresh, empty database for each
// test, named by a data-link file in the test's folder.
class DatabaseBackend {
public:
    virtual ~DatabaseBackend() = default;
    virtual QString name() const = 0;
    // Why the engine cannot be used here; empty when it can.
    virtual QString unavailableReason() const { return {}; }
    // Writes `folder`/udlVorsa.UDL naming a database without the test tables.
    virtual void createDatabase(const QString& folder) = 0;
    // Takes the database of `folder` away for good, as an outage does.
    virtual void makeUnreachable(const QString& folder) = 0;
};

class SqliteBackend : public DatabaseBackend {
public:
    QString name() const override { return QStringLiteral("SQLite"); }
    void createDatabase(const QString& folder) override;
    void makeUnreachable(const QString& folder) override;
};

// The connection string of the server's data-link file in a folder.
QString connectionStringFor(const QString& folder);

} // namespace vorsa::test

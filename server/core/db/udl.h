#pragma once

#include <QMap>
#include <QString>

namespace vorsa::db {

// ADO's "provider not found" (the provider has no driver on this system).
constexpr int adErrProviderNotFound = 3706;

// What a data-link file names: the Qt driver and how to reach the database.
struct DataLink {
    QString provider;     // as written in the file ("PostgreSQL OLE DB Provider", ...)
    QString driver;       // "QSQLITE", "QPSQL" or "QODBC"
    QString databaseName; // SQLite: absolute file path; PostgreSQL: database; ODBC: DSN or
                          // driver connection string
    QString host;         // PostgreSQL: host name, address or socket folder ("/...")
    int port = -1;        // -1: the driver's default
    QString user;
    QString password;
    QString udlPath; // the file it was read from (empty for an inline init string)

    // The database as error messages name it: the path, host/database or the
    // ODBC source; never the password.
    QString description() const;
};

// The Key=Value pairs of an OLE DB init string. Keys are normalised (lower
// case, blanks removed: "Data Source" -> "datasource"); values may be quoted
// with " or ' (a doubled quote inside stands for itself) and are trimmed
// otherwise. A later key replaces an earlier one.
QMap<QString, QString> parseInitString(const QString& initString);

// The init string of a data-link file, decoded as Windows writes it (UTF-16LE
// with BOM) or as UTF-8 or Windows-1252 text; the "[oledb]" header and ";"
// comment lines are skipped. A missing file raises 53 naming the path.
QString readUdlInitString(const QString& udlPath);

// Maps an init string to a driver. Relative SQLite paths are taken from
// baseDir (the folder of the data-link file). A provider without a driver on
// this system raises adErrProviderNotFound naming the provider.
DataLink dataLinkFromInitString(const QString& initString, const QString& baseDir);

// Reads and maps a data-link file.
DataLink readDataLink(const QString& udlPath);

// Maps an ADO connection string: "File Name=<udl path>" reads that file; any
// other string is taken as an init string itself (paths relative to the
// current folder).
DataLink dataLinkFromConnectionString(const QString& connectionString);

// Writes a data-link file as Windows does: UTF-16LE with BOM, the "[oledb]"
// header, the comment line and the init string, CR LF line ends. Fails with
// 75 naming the path.
void writeUdl(const QString& udlPath, const QString& initString);

} // namespace vorsa::db

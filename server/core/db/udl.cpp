#include "udl.h"

#include "vberror.h"
#include "win1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

namespace vorsa::db {

namespace {

QString normalisedKey(const QString& key)
{
    QString k;
    for (QChar c : key) {
        if (!c.isSpace()) {
            k += c.toLower();
        }
    }
    return k;
}

QString firstOf(const QMap<QString, QString>& pairs, std::initializer_list<const char*> keys)
{
    for (const char* key : keys) {
        const QString value = pairs.value(QString::fromLatin1(key));
        if (!value.isEmpty()) {
            return value;
        }
    }
    return {};
}

bool looksLikeSqliteFile(const QString& dataSource)
{
    const QString ds = dataSource.toLower();
    return ds.endsWith(QLatin1String(".db")) || ds.endsWith(QLatin1String(".sqlite")) ||
           ds.endsWith(QLatin1String(".sqlite3"));
}

QString decodeUdlBytes(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        return QStringDecoder(QStringConverter::Utf16LE).decode(bytes.mid(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        return QStringDecoder(QStringConverter::Utf16BE).decode(bytes.mid(2));
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return QString::fromUtf8(bytes.mid(3));
    }
    // UTF-16LE without a BOM: every second byte of ASCII text is zero.
    if (bytes.size() >= 2 && bytes.at(0) != '\0' && bytes.at(1) == '\0') {
        return QStringDecoder(QStringConverter::Utf16LE).decode(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    return fromWin1252(bytes);
}

} // namespace

QString DataLink::description() const
{
    if (driver == QLatin1String("QPSQL")) {
        QString where = host.isEmpty() ? QStringLiteral("localhost") : host;
        if (port > 0) {
            where += QLatin1Char(':') + QString::number(port);
        }
        return where + QLatin1Char('/') + databaseName;
    }
    if (driver == QLatin1String("QODBC")) {
        static const QRegularExpression secret(
            QStringLiteral("(?:^|;)\\s*(?:PWD|Password)\\s*=\\s*(?:\\{[^}]*\\}|[^;]*)"),
            QRegularExpression::CaseInsensitiveOption);
        QString text = databaseName;
        return text.remove(secret);
    }
    return databaseName;
}

QMap<QString, QString> parseInitString(const QString& initString)
{
    QMap<QString, QString> pairs;
    const qsizetype n = initString.size();
    qsizetype i = 0;
    while (i < n) {
        // Key up to "=" (a segment without "=" is skipped).
        const qsizetype eq = initString.indexOf(QLatin1Char('='), i);
        const qsizetype semi = initString.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            if (semi < 0) {
                break;
            }
            i = semi + 1;
            continue;
        }
        const QString key = normalisedKey(initString.mid(i, eq - i));
        i = eq + 1;
        while (i < n && initString.at(i).isSpace()) {
            ++i;
        }
        QString value;
        if (i < n &&
            (initString.at(i) == QLatin1Char('"') || initString.at(i) == QLatin1Char('\''))) {
            const QChar quote = initString.at(i++);
            while (i < n) {
                if (initString.at(i) == quote) {
                    if (i + 1 < n && initString.at(i + 1) == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += initString.at(i++);
            }
            const qsizetype end = initString.indexOf(QLatin1Char(';'), i);
            i = end < 0 ? n : end + 1;
        } else {
            const qsizetype end = initString.indexOf(QLatin1Char(';'), i);
            value = initString.mid(i, end < 0 ? -1 : end - i).trimmed();
            i = end < 0 ? n : end + 1;
        }
        if (!key.isEmpty()) {
            pairs.insert(key, value);
        }
    }
    return pairs;
}

QString readUdlInitString(const QString& udlPath)
{
    QFile file(udlPath);
    if (!file.exists()) {
        throw VbError::fileNotFound(udlPath);
    }
    if (!file.open(QIODevice::ReadOnly)) {
        throw VbError::pathFileAccess(udlPath);
    }
    const QString text = decodeUdlBytes(file.readAll());
    QStringList parts;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.compare(QLatin1String("[oledb]"), Qt::CaseInsensitive) == 0) {
            continue;
        }
        parts << line;
    }
    return parts.join(QLatin1Char(';'));
}

DataLink dataLinkFromInitString(const QString& initString, const QString& baseDir)
{
    const QMap<QString, QString> pairs = parseInitString(initString);
    DataLink link;
    link.provider = pairs.value(QStringLiteral("provider"));
    link.user = firstOf(pairs, {"userid", "user", "uid"});
    link.password = firstOf(pairs, {"password", "pwd"});
    const QString provider = link.provider.trimmed().toLower();
    const QString dataSource = pairs.value(QStringLiteral("datasource"));
    const QString extended = pairs.value(QStringLiteral("extendedproperties"));
    const QString dsn = pairs.value(QStringLiteral("dsn"));

    if (provider.startsWith(QLatin1String("postgresql"))) {
        link.driver = QStringLiteral("QPSQL");
        link.host = dataSource;
        link.databaseName = firstOf(pairs, {"location", "initialcatalog", "database"});
        const QString port = pairs.value(QStringLiteral("port"));
        if (!port.isEmpty()) {
            bool ok = false;
            link.port = port.toInt(&ok);
            if (!ok || link.port <= 0 || link.port > 65535) {
                throw VbError::database(
                    QStringLiteral("Ungültige Portnummer \"%1\" in der Datenverknüpfung")
                        .arg(port));
            }
        } else if (!link.host.startsWith(QLatin1Char('/')) &&
                   link.host.count(QLatin1Char(':')) == 1) {
            // "host:port" in the data source
            const qsizetype colon = link.host.indexOf(QLatin1Char(':'));
            bool ok = false;
            const int p = link.host.mid(colon + 1).toInt(&ok);
            if (ok && p > 0 && p <= 65535) {
                link.port = p;
                link.host.truncate(colon);
            }
        }
        if (link.databaseName.isEmpty()) {
            throw VbError::database(
                QStringLiteral("Die Datenverknüpfung für PostgreSQL nennt keine Datenbank "
                               "(\"Location\" oder \"Initial Catalog\")"));
        }
        return link;
    }

    if (provider.startsWith(QLatin1String("msdasql")) ||
        (provider.isEmpty() && (!dsn.isEmpty() || !extended.isEmpty()))) {
        link.driver = QStringLiteral("QODBC");
        if (!extended.isEmpty()) {
            link.databaseName = extended;
            const bool namesSource = parseInitString(extended).contains(QStringLiteral("dsn")) ||
                                     parseInitString(extended).contains(QStringLiteral("driver"));
            if (!namesSource && !dsn.isEmpty()) {
                link.databaseName = QStringLiteral("DSN=") + dsn + QLatin1Char(';') + extended;
            }
        } else {
            link.databaseName = dsn.isEmpty() ? dataSource : dsn;
        }
        if (link.databaseName.isEmpty()) {
            throw VbError::database(
                QStringLiteral("Die Datenverknüpfung für ODBC nennt keine Datenquelle (\"DSN\")"));
        }
        return link;
    }

    if (provider.startsWith(QLatin1String("sqlite")) || looksLikeSqliteFile(dataSource)) {
        link.driver = QStringLiteral("QSQLITE");
        if (dataSource.isEmpty()) {
            throw VbError::database(QStringLiteral(
                "Die Datenverknüpfung für SQLite nennt keine Datei (\"Data Source\")"));
        }
        QString path = dataSource;
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        link.databaseName = QDir::cleanPath(QDir(baseDir).absoluteFilePath(path));
        return link;
    }

    if (provider.isEmpty()) {
        throw VbError(adErrProviderNotFound,
                      QStringLiteral("Die Datenverknüpfung nennt keinen Provider"));
    }
    throw VbError(adErrProviderNotFound,
                  QStringLiteral("Der Provider \"%1\" wurde nicht gefunden: für ihn gibt es auf "
                                 "diesem System keinen Datenbanktreiber (unterstützt: SQLite, "
                                 "PostgreSQL, MSDASQL/ODBC)")
                      .arg(link.provider));
}

DataLink readDataLink(const QString& udlPath)
{
    const QString init = readUdlInitString(udlPath);
    DataLink link;
    try {
        link = dataLinkFromInitString(init, QFileInfo(udlPath).absolutePath());
    } catch (const VbError& e) {
        throw VbError(e.number(), e.description() + QStringLiteral(" (Datei %1)").arg(udlPath));
    }
    link.udlPath = udlPath;
    return link;
}

DataLink dataLinkFromConnectionString(const QString& connectionString)
{
    const QMap<QString, QString> pairs = parseInitString(connectionString);
    if (pairs.contains(QStringLiteral("filename"))) {
        QString path = pairs.value(QStringLiteral("filename"));
        // A path with ";" in it, written without quotes: take the rest of the text.
        if (!QFileInfo::exists(path)) {
            const qsizetype eq = connectionString.indexOf(QLatin1Char('='));
            const QString rest = connectionString.mid(eq + 1).trimmed();
            if (QFileInfo::exists(rest)) {
                path = rest;
            }
        }
        return readDataLink(path);
    }
    return dataLinkFromInitString(connectionString, QDir::currentPath());
}

void writeUdl(const QString& udlPath, const QString& initString)
{
    const QString text =
        QStringLiteral("[oledb]\r\n"
                       "; Everything after this line is an OLE DB initstring\r\n") +
        initString + QStringLiteral("\r\n");
    QByteArray bytes("\xFF\xFE", 2);
    bytes += QStringEncoder(QStringConverter::Utf16LE).encode(text);
    QFile file(udlPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        throw VbError::pathFileAccess(udlPath);
    }
}

} // namespace vorsa::db

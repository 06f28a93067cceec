// Reading data-link files and mapping them to drivers; the statement mapping.
#include "db/connection.h"
#include "db/udl.h"
#include "pgcluster.h"
#include "vberror.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;
using namespace vorsa::db;

using Pairs = QMap<QString, QString>;

class TestUdl : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeBytes(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            qFatal("cannot write %s", qPrintable(path));
        }
        file.write(bytes);
        return path;
    }

private slots:
    void fileEncodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString text =
            QStringLiteral("[oledb]\r\n"
                           "; Everything after this line is an OLE DB initstring\r\n"
                           "Provider=SQLite;Data Source=Daten\\Büro.db\r\n");
        QTest::newRow("utf-16le with bom (Windows)")
            << QByteArray("\xFF\xFE", 2) + QStringEncoder(QStringConverter::Utf16LE).encode(text);
        QTest::newRow("utf-16le without bom")
            << QByteArray(QStringEncoder(QStringConverter::Utf16LE).encode(text));
        QTest::newRow("utf-8") << text.toUtf8();
        QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QTest::newRow("windows-1252") << text.toLatin1(); // ü is 0xFC in both
        QTest::newRow("lf line ends") << text.toUtf8().replace("\r\n", "\n");
    }

    void fileEncodings()
    {
        QFETCH(QByteArray, bytes);
        const QString path = writeBytes(QStringLiteral("udlVorsa.UDL"), bytes);
        QCOMPARE(readUdlInitString(path),
                 QStringLiteral("Provider=SQLite;Data Source=Daten\\Büro.db"));
        const DataLink link = readDataLink(path);
        QCOMPARE(link.driver, QStringLiteral("QSQLITE"));
        // Relative to the folder of the data-link file; backslashes are folders.
        QCOMPARE(link.databaseName, m_dir.filePath(QStringLiteral("Daten/Büro.db")));
    }

    void writtenFileReadsBack()
    {
        const QString path = m_dir.filePath(QStringLiteral("written.UDL"));
        const QString init =
            QStringLiteral("Provider=PostgreSQL.1;Data Source=db1;Location=Zentrale");
        writeUdl(path, init);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xFF\xFE[\0o\0l\0e\0d\0b\0]\0"));
        QCOMPARE(readUdlInitString(path), init);
    }

    void initStringPairs_data()
    {
        QTest::addColumn<QString>("init");
        QTest::addColumn<Pairs>("expected");
        QTest::newRow("keys ignore case and blanks")
            << QStringLiteral("PROVIDER=SQLite; data  source = a.db ;User Id=Hans")
            << Pairs{{"provider", "SQLite"}, {"datasource", "a.db"}, {"userid", "Hans"}};
        QTest::newRow("double quotes keep ; and =")
            << QStringLiteral("Provider=MSDASQL;Extended Properties=\"DRIVER={PostgreSQL Unicode};"
                              "SERVER=h;DATABASE=d\";DSN=x")
            << Pairs{{"provider", "MSDASQL"},
                     {"extendedproperties", "DRIVER={PostgreSQL Unicode};SERVER=h;DATABASE=d"},
                     {"dsn", "x"}};
        QTest::newRow("single quotes and doubled quotes")
            << QStringLiteral("Password='it''s; secret';Data Source=\"a \"\"b\"\"\"")
            << Pairs{{"password", "it's; secret"}, {"datasource", "a \"b\""}};
        QTest::newRow("empty quoted value")
            << QStringLiteral("Password=\"\";Persist Security Info=False")
            << Pairs{{"password", ""}, {"persistsecurityinfo", "False"}};
        QTest::newRow("segments without = and empty segments are skipped")
            << QStringLiteral(";;junk;Provider=SQLite;") << Pairs{{"provider", "SQLite"}};
    }

    void initStringPairs()
    {
        QFETCH(QString, init);
        QFETCH(Pairs, expected);
        QCOMPARE(parseInitString(init), expected);
    }

    void providers_data()
    {
        QTest::addColumn<QString>("init");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        const QString base = QStringLiteral("/srv/vorsa");

        QTest::newRow("sqlite relative") << "Provider=SQLite;Data Source=vorsa.db"
                                         << "QSQLITE" << base + "/vorsa.db"
                                         << "" << -1 << ""
                                         << "";
        QTest::newRow("sqlite absolute") << "Provider=SQLite3;Data Source=/var/lib/vorsa/x.sqlite"
                                         << "QSQLITE"
                                         << "/var/lib/vorsa/x.sqlite"
                                         << "" << -1 << ""
                                         << "";
        QTest::newRow("other provider naming a .sqlite3 file")
            << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=..\\daten\\x.sqlite3"
            << "QSQLITE"
            << "/srv/daten/x.sqlite3"
            << "" << -1 << ""
            << "";
        QTest::newRow("postgresql")
            << "Provider=PostgreSQL;Data Source=dbhost;Location=vorsa;User ID=taxi;Password=pw;"
               "Port=5433"
            << "QPSQL"
            << "vorsa"
            << "dbhost" << 5433 << "taxi"
            << "pw";
        QTest::newRow("postgresql ole db provider, initial catalog")
            << "Provider=PostgreSQL OLE DB Provider;Data Source=10.0.0.5;Initial Catalog=adressen"
            << "QPSQL"
            << "adressen"
            << "10.0.0.5" << -1 << ""
            << "";
        QTest::newRow("postgresql.1 over a socket folder")
            << "Provider=PostgreSQL.1;Data Source=/var/run/postgresql;Location=vorsa"
            << "QPSQL"
            << "vorsa"
            << "/var/run/postgresql" << -1 << ""
            << "";
        QTest::newRow("postgresql host:port")
            << "Provider=PostgreSQL;Data Source=dbhost:6000;Location=vorsa"
            << "QPSQL"
            << "vorsa"
            << "dbhost" << 6000 << ""
            << "";
        QTest::newRow("postgresql host ending in .db is a host")
            << "Provider=PostgreSQL;Data Source=server.db;Location=vorsa"
            << "QPSQL"
            << "vorsa"
            << "server.db" << -1 << ""
            << "";
        QTest::newRow("odbc dsn") << "Provider=MSDASQL.1;DSN=Vorsa;User ID=u;Password=p"
                                  << "QODBC"
                                  << "Vorsa"
                                  << "" << -1 << "u"
                                  << "p";
        QTest::newRow("odbc driver string")
            << "Provider=MSDASQL;Extended Properties=\"DRIVER={SQLite3};Database=/x.db\""
            << "QODBC"
            << "DRIVER={SQLite3};Database=/x.db"
            << "" << -1 << ""
            << "";
    }

    void providers()
    {
        QFETCH(QString, init);
        QFETCH(QString, driver);
        QFETCH(QString, database);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, user);
        QFETCH(QString, password);
        const DataLink link = dataLinkFromInitString(init, QStringLiteral("/srv/vorsa"));
        QCOMPARE(link.driver, driver);
        QCOMPARE(link.databaseName, database);
        QCOMPARE(link.host, host);
        QCOMPARE(link.port, port);
        QCOMPARE(link.user, user);
        QCOMPARE(link.password, password);
    }

    void providersWithoutDriverAreNamed_data()
    {
        QTest::addColumn<QString>("init");
        QTest::addColumn<QString>("named");
        QTest::newRow("jet") << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Daten\\kunden.mdb"
                             << "Microsoft.Jet.OLEDB.4.0";
        QTest::newRow("ace") << "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=kunden.accdb"
                             << "Microsoft.ACE.OLEDB.12.0";
        QTest::newRow("sql server") << "Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=x"
                                    << "SQLOLEDB.1";
    }

    void providersWithoutDriverAreNamed()
    {
        QFETCH(QString, init);
        QFETCH(QString, named);
        const QString path = m_dir.filePath(QStringLiteral("udlAdressen.UDL"));
        writeUdl(path, init);
        try {
            readDataLink(path);
            QFAIL("no error");
        } catch (const VbError& e) {
            QCOMPARE(e.number(), adErrProviderNotFound);
            QVERIFY2(e.description().contains(QLatin1Char('"') + named + QLatin1Char('"')),
                     qPrintable(e.description()));
            QVERIFY(e.description().contains(path));
        }
    }

    void incompleteLinksAreRefused_data()
    {
        QTest::addColumn<QString>("init");
        QTest::newRow("no provider") << "Data Source=x";
        QTest::newRow("postgresql without database") << "Provider=PostgreSQL;Data Source=h";
        QTest::newRow("postgresql bad port") << "Provider=PostgreSQL;Location=d;Port=abc";
        QTest::newRow("sqlite without file") << "Provider=SQLite";
        QTest::newRow("odbc without source") << "Provider=MSDASQL";
    }

    void incompleteLinksAreRefused()
    {
        QFETCH(QString, init);
        try {
            dataLinkFromInitString(init, QStringLiteral("/srv"));
            QFAIL("no error");
        } catch (const VbError& e) {
            QVERIFY(!e.description().isEmpty());
        }
    }

    void missingFileRaises53NamingThePath()
    {
        const QString path = m_dir.filePath(QStringLiteral("udlFehlt.UDL"));
        Connection con;
        try {
            con.open(QStringLiteral("File Name=") + path, QString(), QString());
            QFAIL("no error");
        } catch (const VbError& e) {
            QCOMPARE(e.number(), err::FileNotFound);
            QVERIFY2(e.description().contains(path), qPrintable(e.description()));
        }
        QVERIFY(!con.isOpen());
    }

    void connectionStringFindsTheFile()
    {
        // Folder names with blanks and a data-link path in quotes.
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("Vorsa Server")));
        const QString udl = m_dir.filePath(QStringLiteral("Vorsa Server/udlVorsa.UDL"));
        test::writeSqliteUdl(udl, m_dir.filePath(QStringLiteral("Vorsa Server/vorsa.db")));
        for (const QString& cs : {QStringLiteral("File Name=") + udl,
                                  QStringLiteral("File Name=\"") + udl + QLatin1Char('"')}) {
            const DataLink link = dataLinkFromConnectionString(cs);
            QCOMPARE(link.databaseName, m_dir.filePath(QStringLiteral("Vorsa Server/vorsa.db")));
            Connection con;
            con.open(cs);
            QVERIFY(con.isOpen());
            QCOMPARE(con.driverName(), QStringLiteral("QSQLITE"));
        }
    }

    void descriptionsNeverShowPasswords()
    {
        const DataLink pg = dataLinkFromInitString(
            QStringLiteral(
                "Provider=PostgreSQL;Data Source=h;Port=5433;Location=d;Password=Geheim"),
            QString());
        QCOMPARE(pg.description(), QStringLiteral("h:5433/d"));
        const DataLink odbc = dataLinkFromInitString(
            QStringLiteral("Provider=MSDASQL;Extended Properties=\"DSN=x;UID=u;PWD=Geheim;A=1\""),
            QString());
        QVERIFY2(!odbc.description().contains(QStringLiteral("Geheim")),
                 qPrintable(odbc.description()));
        QVERIFY(odbc.description().contains(QStringLiteral("DSN=x")));
    }

    void statementMapping_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("mapped");
        QTest::newRow("delete star") << "DELETE * FROM TTelefonNr"
                                     << "DELETE FROM TTelefonNr";
        QTest::newRow("any case and blanks") << "  delete   *from  TTelefonNr"
                                             << "  DELETE FROM  TTelefonNr";
        QTest::newRow("plain delete unchanged") << "DELETE FROM T WHERE a=1"
                                                << "DELETE FROM T WHERE a=1";
        QTest::newRow("select unchanged") << "SELECT * FROM TTelefonNr"
                                          << "SELECT * FROM TTelefonNr";
        QTest::newRow("star in a text unchanged") << "INSERT INTO T (a) VALUES ('DELETE * FROM x')"
                                                  << "INSERT INTO T (a) VALUES ('DELETE * FROM x')";
    }

    void statementMapping()
    {
        QFETCH(QString, given);
        QFETCH(QString, mapped);
        QCOMPARE(mapStatement(given), mapped);
    }
};

QTEST_GUILESS_MAIN(TestUdl)
#include "tst_udl.moc"

// The headless server program: it ends with a clear message and a non-zero
// status when it could take no call at all.
#include "ini.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;

class TestHeadless : public QObject {
    Q_OBJECT

    static QString server()
    {
        return QDir(qEnvironmentVariable("VORSA_BUILD_DIR"))
            .filePath(QStringLiteral("server/VorsaSrv"));
    }

private slots:
    void initTestCase()
    {
        if (!QFileInfo(server()).isExecutable())
            QSKIP("VorsaSrv is not built");
    }

    void endsWhenItCanTakeNoCall_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("said");
        QTest::newRow("port not a number")
            << "LocalPort"
            << "abc"
            << QStringList{"Typ unverträglich (LocalPort \"abc\")", "lauscht auf keinem TCP-Port"};
        QTest::newRow("port taken")
            << "LocalPort"
            << "taken"
            << QStringList{"Die Adresse wird bereits verwendet", "lauscht auf keinem TCP-Port"};
        QTest::newRow("no such line")
            << "Line"
            << "ISDN" << QStringList{"\"ISDN\" (Settings/Line)", "hat keine Leitung"};
    }
    void endsWhenItCanTakeNoCall()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QStringList, said);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("VorsaSrv.INI"));
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::Any, 0));
        IniSchreiben(QStringLiteral("Table"), QStringLiteral("Name"), ini, QStringLiteral("T"));
        // A free port unless the row is about the port.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::Any, 0));
        const quint16 freePort = probe.serverPort();
        probe.close();
        IniSchreiben(QStringLiteral("Settings"), QStringLiteral("LocalPort"), ini,
                     QString::number(freePort));
        IniSchreiben(QStringLiteral("Settings"), key, ini,
                     value == u"taken" ? QString::number(taken.serverPort()) : value);

        QProcess p;
        p.start(server(), {QStringLiteral("--headless"), QStringLiteral("--dir"), dir.path()});
        QVERIFY(p.waitForFinished(15000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        for (const QString& text : said)
            QVERIFY2(err.contains(text), qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("VorsaSrv wird beendet")), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"

#include "programdir.h"
#include "win1252.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace vorsa;

class TestText : public QObject {
    Q_OBJECT

private slots:
    void win1252MapsTheSpecialRow_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("Abc 09=;") << "Abc 09=;";
        QTest::newRow("umlauts") << QByteArray("\xE4\xF6\xFC\xC4\xD6\xDC\xDF")
                                 << QString::fromUtf8("äöüÄÖÜß");
        QTest::newRow("euro") << QByteArray("\x80") << QString::fromUtf8("€");
        QTest::newRow("quotes and dashes")
            << QByteArray("\x84\x93\x96\x97\x85") << QString::fromUtf8("„“–—…");
        QTest::newRow("latin extras")
            << QByteArray("\x8A\x9A\x8C\x9C\x8E\x9E\x9F\x83") << QString::fromUtf8("ŠšŒœŽžŸƒ");
        QTest::newRow("trade mark and per mille")
            << QByteArray("\x99\x89") << QString::fromUtf8("™‰");
        QTest::newRow("no-break space and y diaeresis")
            << QByteArray("\xA0\xFF") << QString::fromUtf8("\u00A0ÿ");
    }
    void win1252MapsTheSpecialRow()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(fromWin1252(bytes), text);
        QCOMPARE(toWin1252(text), bytes);
    }

    void win1252EveryByteSurvivesARoundTrip()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(static_cast<char>(b));
        const QString text = fromWin1252(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(toWin1252(text), all);
        // The five bytes without a character keep their code points.
        QCOMPARE(text.at(0x81).unicode(), char16_t(0x81));
        QCOMPARE(text.at(0x9D).unicode(), char16_t(0x9D));
    }

    void win1252WritesQuestionMarkForOtherCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("polish") << QString::fromUtf8("Łź") << QByteArray("??");
        QTest::newRow("control code without a place") << QString(QChar(0x80)) << QByteArray("?");
        QTest::newRow("emoji is one character")
            << QString::fromUtf8("a\U0001F600b") << QByteArray("a?b");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
    }
    void win1252WritesQuestionMarkForOtherCharacters()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(toWin1252(text), bytes);
    }

    void programDirectoryFromArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("separate value")
            << QStringList{"VorsaSrv", "--dir", "/opt/vorsa"} << "/opt/vorsa";
        QTest::newRow("with equals")
            << QStringList{"VorsaSrv", "--dir=/opt/vorsa/"} << "/opt/vorsa";
        QTest::newRow("trailing slashes and dots")
            << QStringList{"x", "--dir", "/opt/./vorsa//"} << "/opt/vorsa";
        QTest::newRow("relative") << QStringList{"x", "--dir", "demo"}
                                  << QDir::current().absoluteFilePath("demo");
        QTest::newRow("no option") << QStringList{"x"} << QCoreApplication::applicationDirPath();
        QTest::newRow("option without value")
            << QStringList{"x", "--dir"} << QCoreApplication::applicationDirPath();
        QTest::newRow("empty value")
            << QStringList{"x", "--dir="} << QCoreApplication::applicationDirPath();
        QTest::newRow("other options ignored")
            << QStringList{"x", "--directory", "/tmp"} << QCoreApplication::applicationDirPath();
    }
    void programDirectoryFromArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QCOMPARE(programDirectory(arguments), expected);
    }

    // An installed program keeps its settings in the user's own folder, not
    // beside the executable in a folder of the system.
    void installedProgramsUseAFolderOfTheUser_data()
    {
        QTest::addColumn<QString>("executableDir");
        QTest::addColumn<bool>("perUser");
        QTest::newRow("/usr/bin") << "/usr/bin" << true;
        QTest::newRow("/usr/local/bin/") << "/usr/local/bin/" << true;
        QTest::newRow("/usr/bin/../bin") << "/usr/bin/../bin" << true;
        QTest::newRow("build tree") << "/home/dev/vorsa/build/client" << false;
        QTest::newRow("own folder under /opt") << "/opt/vorsa" << false;
        QTest::newRow("/usr/lib is not a program folder") << "/usr/lib" << false;
    }
    void installedProgramsUseAFolderOfTheUser()
    {
        QFETCH(QString, executableDir);
        QFETCH(bool, perUser);
        QTemporaryDir home;
        qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
        const QString dir = defaultProgramDirectory(executableDir, QStringLiteral("VorsaCl"));
        qunsetenv("XDG_DATA_HOME");
        if (perUser) {
            QCOMPARE(dir, home.filePath(QStringLiteral("VorsaCl")));
            QVERIFY(QFileInfo(dir).isDir());
        } else {
            QCOMPARE(dir, QDir::cleanPath(executableDir));
            QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("VorsaCl"))));
        }
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "tst_text.moc"

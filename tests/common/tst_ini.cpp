#include "ini.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace vorsa;

class TestIni : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_file;

    void writeBytes(const QByteArray& bytes)
    {
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readBytes() const
    {
        QFile f(m_file);
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray();
        return f.readAll();
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_file = m_dir.filePath(QStringLiteral("VorsaSrv.INI"));
        QFile::remove(m_file);
    }

    // ---- reading ----

    void readFollowsProfileRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QByteArray basic = "[Settings]\r\nLocalPort=1001\r\n";
        QTest::newRow("plain") << basic << "Settings"
                               << "LocalPort"
                               << "1001";
        QTest::newRow("section ignores case") << basic << "SETTINGS"
                                              << "LocalPort"
                                              << "1001";
        QTest::newRow("key ignores case") << basic << "Settings"
                                          << "localport"
                                          << "1001";
        QTest::newRow("umlaut key ignores case") << QByteArray("[S]\r\n\xC4nderung=ja\r\n") << "S"
                                                 << QString::fromUtf8("äNDERUNG") << "ja";
        QTest::newRow("blanks around key and value")
            << QByteArray("[Settings]\r\n  LocalPort \t=   1001  \r\n") << "Settings"
            << "LocalPort"
            << "1001";
        QTest::newRow("blanks around section name")
            << QByteArray("  [ Settings ]  \r\nA=1\r\n") << "Settings"
            << "A"
            << "1";
        QTest::newRow("blanks inside value stay") << QByteArray("[S]\r\nA= x  y \r\n") << "S"
                                                  << "A"
                                                  << "x  y";
        QTest::newRow("double quotes removed") << QByteArray("[S]\r\nA=\" x \"\r\n") << "S"
                                               << "A"
                                               << " x ";
        QTest::newRow("single quotes removed") << QByteArray("[S]\r\nA='x'\r\n") << "S"
                                               << "A"
                                               << "x";
        QTest::newRow("mismatched quotes stay") << QByteArray("[S]\r\nA=\"x'\r\n") << "S"
                                                << "A"
                                                << "\"x'";
        QTest::newRow("lone quote stays") << QByteArray("[S]\r\nA=\"\r\n") << "S"
                                          << "A"
                                          << "\"";
        QTest::newRow("semicolon inside value is text")
            << QByteArray("[S]\r\nA=1 ; note\r\n") << "S"
            << "A"
            << "1 ; note";
        QTest::newRow("equals sign inside value")
            << QByteArray("[S]\r\nSQL1.1=WHERE a=b\r\n") << "S"
            << "SQL1.1"
            << "WHERE a=b";
        QTest::newRow("first section wins")
            << QByteArray("[S]\r\nA=first\r\n[T]\r\nA=t\r\n[s]\r\nA=second\r\n") << "S"
            << "A"
            << "first";
        QTest::newRow("first key wins") << QByteArray("[S]\r\nA=1\r\na=2\r\n") << "S"
                                        << "A"
                                        << "1";
        QTest::newRow("key of another section not taken")
            << QByteArray("[T]\r\nA=1\r\n[S]\r\nB=2\r\n") << "S"
            << "A"
            << "default";
        QTest::newRow("key only in second section of same name not taken")
            << QByteArray("[S]\r\nB=1\r\n[S]\r\nA=2\r\n") << "S"
            << "A"
            << "default";
        QTest::newRow("key before any section not taken") << QByteArray("A=1\r\n[S]\r\n") << "S"
                                                          << "A"
                                                          << "default";
        QTest::newRow("commented key ignored") << QByteArray("[S]\r\n;A=1\r\n  ; A=2\r\n") << "S"
                                               << "A"
                                               << "default";
        QTest::newRow("commented section ignored") << QByteArray(";[S]\r\nA=1\r\n") << "S"
                                                   << "A"
                                                   << "default";
        QTest::newRow("empty value is empty, not default") << QByteArray("[S]\r\nA=\r\n") << "S"
                                                           << "A"
                                                           << "";
        QTest::newRow("blank value is empty") << QByteArray("[S]\r\nA=   \r\n") << "S"
                                              << "A"
                                              << "";
        QTest::newRow("empty quotes are empty") << QByteArray("[S]\r\nA=\"\"\r\n") << "S"
                                                << "A"
                                                << "";
        QTest::newRow("missing key gives default") << QByteArray("[S]\r\nB=1\r\n") << "S"
                                                   << "A"
                                                   << "default";
        QTest::newRow("line without equals is no key") << QByteArray("[S]\r\nA\r\n") << "S"
                                                       << "A"
                                                       << "default";
        QTest::newRow("LF line endings") << QByteArray("[S]\nA=1\nB=2\n") << "S"
                                         << "B"
                                         << "2";
        QTest::newRow("last line without ending") << QByteArray("[S]\r\nA=1") << "S"
                                                  << "A"
                                                  << "1";
        QTest::newRow("windows-1252 umlauts and euro")
            << QByteArray("[S]\r\nA=\xE4\xF6\xFC\xDF \x80\r\n") << "S"
            << "A" << QString::fromUtf8("äöüß €");
        QTest::newRow("utf-8 file with byte order mark")
            << QByteArray("\xEF\xBB\xBF[S]\r\nA=\xC3\xA4\r\n") << "S"
            << "A" << QString::fromUtf8("ä");
    }
    void readFollowsProfileRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        writeBytes(content);
        const QString got = IniLesen(section, key, m_file, QStringLiteral("default"));
        QCOMPARE(got, expected);
        QCOMPARE(got.isNull(), false);
    }

    void missingFileGivesDefault()
    {
        QCOMPARE(IniLesen("Settings", "Amt", m_file, "?"), QString("?"));
        QCOMPARE(IniLesen("Settings", "Amt", m_dir.filePath("no/such/dir.ini"), "999"),
                 QString("999"));
        QVERIFY(!QFile::exists(m_file));
    }

    void valueIsCutAt511Characters()
    {
        const QByteArray longValue(600, 'x');
        writeBytes("[S]\r\nA=" + longValue + "\r\nB=\"" + QByteArray(511, 'y') + "\"\r\n");
        QCOMPARE(IniLesen("S", "A", m_file, ""), QString(511, u'x'));
        // Quotes come off before the cut, so 511 characters inside quotes all come back.
        QCOMPARE(IniLesen("S", "B", m_file, ""), QString(511, u'y'));
        QCOMPARE(IniLesen("S", "C", m_file, QString(600, u'z')), QString(511, u'z'));
    }

    void defaultLosesTrailingBlanks()
    {
        QCOMPARE(IniLesen("S", "A", m_file, "  x  "), QString("  x"));
    }

    // ---- writing ----

    void newFileGetsCrLf()
    {
        IniSchreiben("Settings", "LocalPort", m_file, "1001");
        IniSchreiben("Settings", "Amt", m_file, "");
        IniSchreiben("Autobooking", "Aktiv", m_file, "0");
        QCOMPARE(
            readBytes(),
            QByteArray("[Settings]\r\nLocalPort=1001\r\nAmt=\r\n[Autobooking]\r\nAktiv=0\r\n"));
        QCOMPARE(IniLesen("Settings", "Amt", m_file, "?"), QString(""));
    }

    void writeReplacesValueInPlace_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("simple") << QByteArray("[S]\r\nA=1\r\nB=2\r\n") << "A"
                                << "9" << QByteArray("[S]\r\nA=9\r\nB=2\r\n");
        QTest::newRow("keeps spelling and blanks of key")
            << QByteArray("[S]\r\n  Local Port = 1\r\n") << "LOCAL PORT"
            << "1001" << QByteArray("[S]\r\n  Local Port = 1001\r\n");
        QTest::newRow("replaces quoted value") << QByteArray("[S]\r\nA=\"x\"\r\n") << "A"
                                               << "y" << QByteArray("[S]\r\nA=y\r\n");
        QTest::newRow("empty value") << QByteArray("[S]\r\nA=1\r\n") << "A"
                                     << "" << QByteArray("[S]\r\nA=\r\n");
        QTest::newRow("only first key of duplicates") << QByteArray("[S]\r\nA=1\r\nA=2\r\n") << "A"
                                                      << "3" << QByteArray("[S]\r\nA=3\r\nA=2\r\n");
        QTest::newRow("last line without ending stays without") << QByteArray("[S]\r\nA=1") << "A"
                                                                << "2" << QByteArray("[S]\r\nA=2");
        QTest::newRow("LF file") << QByteArray("[S]\nA=1\n") << "A"
                                 << "2" << QByteArray("[S]\nA=2\n");
    }
    void writeReplacesValueInPlace()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        writeBytes(before);
        IniSchreiben("S", key, m_file, value);
        QCOMPARE(readBytes(), after);
    }

    void writeAppendsKeyAtEndOfSection_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("before blank lines and next section")
            << QByteArray("[S]\r\nA=1\r\n\r\n\r\n[T]\r\nB=2\r\n")
            << QByteArray("[S]\r\nA=1\r\nNeu=x\r\n\r\n\r\n[T]\r\nB=2\r\n");
        QTest::newRow("before trailing comment of section")
            << QByteArray("[S]\r\nA=1\r\n; next one\r\n[T]\r\n")
            << QByteArray("[S]\r\nA=1\r\nNeu=x\r\n; next one\r\n[T]\r\n");
        QTest::newRow("comment between keys stays")
            << QByteArray("[S]\r\nA=1\r\n;note\r\nB=2\r\n\r\n")
            << QByteArray("[S]\r\nA=1\r\n;note\r\nB=2\r\nNeu=x\r\n\r\n");
        QTest::newRow("empty section")
            << QByteArray("[S]\r\n\r\n[T]\r\n") << QByteArray("[S]\r\nNeu=x\r\n\r\n[T]\r\n");
        QTest::newRow("section found ignoring case, header kept")
            << QByteArray("[S]\r\n") << QByteArray("[S]\r\nNeu=x\r\n");
        QTest::newRow("at end of file without final line ending")
            << QByteArray("[S]\r\nA=1") << QByteArray("[S]\r\nA=1\r\nNeu=x\r\n");
        QTest::newRow("into first of two sections of the name")
            << QByteArray("[S]\r\nA=1\r\n[S]\r\nB=1\r\n")
            << QByteArray("[S]\r\nA=1\r\nNeu=x\r\n[S]\r\nB=1\r\n");
        QTest::newRow("LF file gets LF")
            << QByteArray("[S]\nA=1\n\n[T]\n") << QByteArray("[S]\nA=1\nNeu=x\n\n[T]\n");
    }
    void writeAppendsKeyAtEndOfSection()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        writeBytes(before);
        IniSchreiben("s", "Neu", m_file, "x");
        QCOMPARE(readBytes(), after);
    }

    void writeAppendsSectionAtEndOfFile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("CR LF") << QByteArray("[S]\r\nA=1\r\n")
                               << QByteArray("[S]\r\nA=1\r\n[Neu]\r\nK=v\r\n");
        QTest::newRow("after trailing blank line and comment")
            << QByteArray("[S]\r\nA=1\r\n\r\n; end\r\n")
            << QByteArray("[S]\r\nA=1\r\n\r\n; end\r\n[Neu]\r\nK=v\r\n");
        QTest::newRow("LF") << QByteArray("[S]\nA=1\n") << QByteArray("[S]\nA=1\n[Neu]\nK=v\n");
        QTest::newRow("no final line ending")
            << QByteArray("[S]\nA=1") << QByteArray("[S]\nA=1\n[Neu]\nK=v\n");
        QTest::newRow("empty file") << QByteArray() << QByteArray("[Neu]\r\nK=v\r\n");
    }
    void writeAppendsSectionAtEndOfFile()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        writeBytes(before);
        IniSchreiben("Neu", "K", m_file, "v");
        QCOMPARE(readBytes(), after);
    }

    void writeKeepsEveryOtherByte()
    {
        // Tabs, odd spacing, comments, blank lines with blanks, undefined
        // Windows-1252 bytes and a keyless line must all come through untouched.
        const QByteArray before = "; Vorsa \x80 Konfiguration\r\n"
                                  "\r\n"
                                  "[Settings]\t\r\n"
                                  "User =  Gr\xFC\xDF"
                                  "e \x81\x8D\x8F\x90\x9D\r\n"
                                  "   \r\n"
                                  "  ;  alter Wert: 1002\r\n"
                                  "LocalPort=1002\r\n"
                                  "Unsinn ohne Gleichheitszeichen\r\n"
                                  "\r\n"
                                  "[Feld1]\r\n"
                                  "FieldName=Datum\r\n";
        writeBytes(before);
        IniSchreiben("Settings", "LocalPort", m_file, "1001");
        QByteArray expected = before;
        expected.replace("LocalPort=1002", "LocalPort=1001");
        QCOMPARE(readBytes(), expected);
    }

    void writeThenReadRoundTripsUmlautsAndEuro()
    {
        const QString value = QString::fromUtf8("Müller & Söhne, Straße 5, 10 €");
        IniSchreiben("Feld1", "ColumnName", m_file, value);
        QCOMPARE(IniLesen("feld1", "columnname", m_file, ""), value);
        QVERIFY(readBytes().contains("M\xFCller & S\xF6hne, Stra\xDF"
                                     "e 5, 10 \x80"));
    }

    void valuesThatReadingWouldChangeAreQuoted_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("blanks at the ends") << "  Datum " << QByteArray("A=\"  Datum \"");
        QTest::newRow("own double quotes") << "\"x\"" << QByteArray("A=\"\"x\"\"");
        QTest::newRow("own single quotes") << "'x'" << QByteArray("A=\"'x'\"");
        QTest::newRow("inner blanks and quote") << "a \"b" << QByteArray("A=a \"b");
    }
    void valuesThatReadingWouldChangeAreQuoted()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        IniSchreiben("S", "A", m_file, value);
        QCOMPARE(readBytes(), "[S]\r\n" + line + "\r\n");
        QCOMPARE(IniLesen("S", "A", m_file, ""), value);
    }

    void unmappableCharactersWriteQuestionMarks()
    {
        IniSchreiben("S", "A", m_file, QString::fromUtf8("Łódź \U0001F600"));
        QCOMPARE(readBytes(), QByteArray("[S]\r\nA=?\xF3"
                                         "d? ?\r\n"));
    }

    void utf8FileStaysUtf8()
    {
        writeBytes("\xEF\xBB\xBF[S]\r\nA=1\r\n");
        IniSchreiben("S", "A", m_file, QString::fromUtf8("ä"));
        IniSchreiben("S", "B", m_file, QString::fromUtf8("€"));
        QCOMPARE(readBytes(), QByteArray("\xEF\xBB\xBF[S]\r\nA=\xC3\xA4\r\nB=\xE2\x82\xAC\r\n"));
    }

    // Files as editors and tools save them: each is read in its encoding and
    // written back in the same one, umlauts included.
    void eachEncodingIsReadAndKept_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const auto utf16 = [](const QString& text, bool littleEndian) {
            QByteArray out = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
            for (const QChar c : text) {
                const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
                out.append(littleEndian ? lo : hi).append(littleEndian ? hi : lo);
            }
            return out;
        };
        const QString before = QString::fromUtf8("[S]\r\nOrt=Straße\r\n");
        const QString after = QString::fromUtf8("[S]\r\nOrt=Straße\r\nNeu=Müller\r\n");
        QTest::newRow("utf-8 without byte order mark") << before.toUtf8() << after.toUtf8();
        QTest::newRow("utf-8 with byte order mark")
            << "\xEF\xBB\xBF" + before.toUtf8() << "\xEF\xBB\xBF" + after.toUtf8();
        QTest::newRow("utf-16 little endian") << utf16(before, true) << utf16(after, true);
        QTest::newRow("utf-16 big endian") << utf16(before, false) << utf16(after, false);
        QTest::newRow("windows-1252") << before.toLatin1() << after.toLatin1();
    }
    void eachEncodingIsReadAndKept()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        writeBytes(before);
        QCOMPARE(IniLesen("S", "Ort", m_file, ""), QString::fromUtf8("Straße"));
        IniSchreiben("S", "Neu", m_file, QString::fromUtf8("Müller"));
        QCOMPARE(readBytes(), after);
        QCOMPARE(IniLesen("S", "Neu", m_file, ""), QString::fromUtf8("Müller"));
    }

    void asciiFileGetsWindows1252Umlauts()
    {
        // Nothing but ASCII says nothing about the encoding: the classic one is kept.
        writeBytes("[S]\r\nA=1\r\n");
        IniSchreiben("S", "A", m_file, QString::fromUtf8("ä"));
        QCOMPARE(readBytes(), QByteArray("[S]\r\nA=\xE4\r\n"));
        QCOMPARE(IniLesen("S", "A", m_file, ""), QString::fromUtf8("ä"));
    }

    void lineBreaksInValueCannotPlantKeys()
    {
        writeBytes("[S]\r\nA=1\r\n[Table]\r\n");
        IniSchreiben("S", "A", m_file, "x\r\n[Table]\r\nSQL1.1=DROP");
        QCOMPARE(IniLesen("Table", "SQL1.1", m_file, "none"), QString("none"));
        QCOMPARE(IniLesen("S", "A", m_file, ""), QString("x  [Table]  SQL1.1=DROP"));
    }

    void writeLeavesNoTemporaryFileBehind()
    {
        writeBytes("[S]\r\nA=1\r\n");
        IniSchreiben("S", "A", m_file, "2");
        IniSchreiben("S", "B", m_file, "3");
        IniSchreiben("T", "C", m_file, "4");
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{"VorsaSrv.INI"});
    }

    void writeIntoMissingFolderDoesNothing()
    {
        const QString file = m_dir.filePath("fehlt/VorsaSrv.INI");
        IniSchreiben("S", "A", file, "1");
        QVERIFY(!QFile::exists(file));
        QCOMPARE(IniLesen("S", "A", file, "d"), QString("d"));
    }

    void unreadableFileIsNotReplaced()
    {
        writeBytes("[S]\r\nA=1\r\nB=2\r\n");
        QFile::setPermissions(m_file, QFileDevice::WriteOwner);
        if (QFile probe(m_file); probe.open(QIODevice::ReadOnly)) {
            QFile::setPermissions(m_file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            QSKIP("this user reads every file (root)");
        }
        IniSchreiben("S", "A", m_file, "9");
        QFile::setPermissions(m_file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(readBytes(), QByteArray("[S]\r\nA=1\r\nB=2\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestIni)
#include "tst_ini.moc"

// The call log as a file: entries are whole lines, also when the disk fills up.
#include "calllog.h"
#include "vberror.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;

namespace {
QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList journal(const CallLog& log)
{
    QStringList out;
    log.readJournal({}, [&](const QString& m) { out << m; });
    return out;
}

// A small tmpfs, mounted for the test and unmounted at its end.
struct SmallDisk {
    QTemporaryDir dir;
    bool mounted = false;
    QString why;

    explicit SmallDisk(int kilobytes)
    {
        QProcess mount;
        mount.start(QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                     QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("vorsa-test"),
                     dir.path()});
        if (!mount.waitForFinished(10000) || mount.exitCode() != 0)
            why = QStringLiteral("cannot mount a tmpfs here: ") +
                  QString::fromLocal8Bit(mount.readAllStandardError()).trimmed();
        else
            mounted = true;
    }
    ~SmallDisk()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {dir.path()});
    }
    QString path(const QString& name) const { return dir.filePath(name); }
};
} // namespace

class TestCallLog : public QObject {
    Q_OBJECT
private slots:
    void entryAfterAnUnfinishedLineStartsOnItsOwnLine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VorsaSvr.log"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("*D*Icon=1;Datum=06.12.2026 09:14:05\r\n*D*Icon=1;Datum=06.12.2026 09:1");
        f.close();
        CallLog log(path);
        log.WriteLog(QStringLiteral("*D*Icon=3;Datum=06.12.2026 10:00:00"));
        QCOMPARE(contents(path), QByteArray("*D*Icon=1;Datum=06.12.2026 09:14:05\r\n"
                                            "*D*Icon=1;Datum=06.12.2026 09:1\r\n"
                                            "*D*Icon=3;Datum=06.12.2026 10:00:00\r\n"));
        // The replay finds the new entry whole, not glued to the broken one.
        QCOMPARE(journal(log).last(), QStringLiteral("Icon=3;Datum=06.12.2026 10:00:00"));
    }

    void fullDiskLeavesNoHalfLine()
    {
        SmallDisk disk(64);
        if (!disk.mounted)
            QSKIP(qPrintable(disk.why));
        // Most of the disk is taken by something else.
        const QString filler = disk.path(QStringLiteral("filler"));
        {
            QFile f(filler);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(40 * 1024, 'x'));
        }
        CallLog log(disk.path(QStringLiteral("VorsaSvr.log")));
        const QString entry =
            QStringLiteral("*D*Icon=1;Datum=06.12.2026 09:14:05;Anrufer=0521123456;Name=") +
            QString(150, QLatin1Char('M'));
        int written = 0;
        bool full = false;
        for (int i = 0; i < 1000 && !full; ++i) {
            try {
                log.WriteLog(entry + QString::number(i));
                ++written;
            } catch (const VbError& e) {
                QCOMPARE(e.number(), 75);
                full = true;
            }
        }
        QVERIFY2(full, "the disk never filled up");
        QVERIFY(written > 10);
        QByteArray bytes = contents(log.path());
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(int(bytes.count('\n')), written);

        // Room again: the next entry follows the last whole one.
        QVERIFY(QFile::remove(filler));
        log.WriteLog(QStringLiteral("*D*Icon=3;Datum=06.12.2026 10:00:00"));
        const QStringList entries = journal(log);
        QCOMPARE(entries.size(), written + 1);
        for (int i = 0; i < written; ++i)
            QCOMPARE(entries[i], entry.mid(3) + QString::number(i));
        QCOMPARE(entries.last(), QStringLiteral("Icon=3;Datum=06.12.2026 10:00:00"));
    }
};

QTEST_GUILESS_MAIN(TestCallLog)
#include "tst_calllog.moc"

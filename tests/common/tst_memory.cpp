// Freed memory goes back to the system when asked, also when memory that is
// still held lies after it (glibc gives back the end of its heap by itself,
// but not what a long-lived allocation holds in place).
#include "memory.h"

#include <QFile>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {
qint64 residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * (::sysconf(_SC_PAGESIZE) / 1024) : -1;
}
} // namespace

class TestMemory : public QObject {
    Q_OBJECT
private slots:
    void freedMemoryGoesBackToTheSystem()
    {
#ifndef __GLIBC__
        QSKIP("only the GNU C library keeps freed memory");
#endif
        // 32 MB in small blocks that the heap itself serves, then one block
        // kept after them.
        std::vector<std::unique_ptr<char[]>> blocks;
        for (int i = 0; i < 32 * 1024; ++i) {
            blocks.emplace_back(new char[1000]);
            std::fill_n(blocks.back().get(), 1000, char(i));
        }
        auto kept = std::make_unique<char[]>(1000);
        kept[0] = 1;
        blocks.clear();
        const qint64 before = residentKb();
        vorsa::returnFreedMemory();
        const qint64 after = residentKb();
        QVERIFY2(before - after > 16 * 1024,
                 qPrintable(QStringLiteral("%1 kB -> %2 kB").arg(before).arg(after)));
    }
};

QTEST_GUILESS_MAIN(TestMemory)
#include "tst_memory.moc"

// Feeds arbitrary bytes, cut into arbitrary pieces, to the client's receive
// path: the receive buffer cuts lines at CR, each line is split into its
// elements. Nothing may crash, no byte may get lost or doubled, and what a
// line parses into must parse the same again once written back.
#include "vberror.h"
#include "wire/notificationline.h"
#include "wire/receivebuffer.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

QString written(const vorsa::NotificationLine& line)
{
    QStringList elements;
    if (line.icon)
        elements << QStringLiteral("Icon=") + QString::number(*line.icon);
    for (const auto& f : line.fields)
        elements << f.key + QLatin1Char('=') + f.value;
    return elements.join(QLatin1Char(';'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the piece sizes; the rest is what the server sent.
    const size_t piece = 1 + data[0] % 64;
    const QByteArray sent(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    vorsa::ReceiveBuffer buffer;
    qsizetype taken = 0; // characters taken as lines, CRs included
    int lines = 0;
    for (qsizetype at = 0; at < sent.size(); at += qsizetype(piece)) {
        buffer.append(sent.mid(at, qsizetype(piece)));
        QString line;
        while (buffer.takeLine(line)) {
            ++lines;
            taken += line.size() + 1;
            check(!line.contains(QLatin1Char('\r')));
            try {
                const vorsa::NotificationLine parsed = vorsa::NotificationLine::parse(line);
                const vorsa::NotificationLine again =
                    vorsa::NotificationLine::parse(written(parsed));
                check(again.icon == parsed.icon);
                check(again.fields.size() == parsed.fields.size());
                for (qsizetype i = 0; i < parsed.fields.size(); ++i) {
                    check(again.fields[i].key == parsed.fields[i].key);
                    check(again.fields[i].value == parsed.fields[i].value);
                }
            } catch (const vorsa::VbError& e) {
                check(e.number() == 6 || e.number() == 9 || e.number() == 13);
            }
        }
        check(buffer.pendingLines() == 0);
    }
    // One byte is one character: every byte is in a line or still waiting.
    check(lines == sent.count('\r'));
    check(taken + buffer.size() == sent.size());
    return 0;
}

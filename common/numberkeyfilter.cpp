#include "numberkeyfilter.h"

#include <algorithm>

namespace vorsa {

NumberKeyResult TastePruefenZahl(const QString& text, int selStart, int selLength, QChar key,
                                 int datenVorkomma, int datenNachkomma, bool locked)
{
    const int start = std::clamp(selStart, 0, int(text.size()));
    const int length = std::clamp(selLength, 0, int(text.size()) - start);

    NumberKeyResult result;
    result.keyAscii = key;
    result.text = text;
    result.selStart = start;
    result.selLength = length;

    if (locked || key.unicode() < 32)
        return result;

    const auto reject = [&result] {
        result.decision = KeyDecision::Rejected;
        result.keyAscii = QChar(0);
        result.beep = true;
        return result;
    };

    const QString allowed =
        datenNachkomma != 0 ? QStringLiteral("1234567890-,") : QStringLiteral("1234567890-");
    if (!allowed.contains(key))
        return reject();

    if (key == QLatin1Char(',')) {
        const qsizetype comma = text.indexOf(QLatin1Char(','));
        if (comma >= 0) {
            // The caret goes behind the existing comma with its decimals selected.
            result.selStart = int(comma) + 1;
            result.selLength = int(text.size()) - result.selStart;
            return reject();
        }
    }

    const QString candidate = text.left(start) + key + text.mid(start + length);
    const qsizetype comma = candidate.indexOf(QLatin1Char(','));
    bool fits;
    if (comma >= 0) {
        const qsizetype p = comma + 1;
        fits = candidate.size() - p <= datenNachkomma && p - 1 <= datenVorkomma;
    } else {
        fits = candidate.size() <= datenVorkomma;
    }
    if (!fits)
        return reject(); // text and selection stay as they were

    result.decision = KeyDecision::Accepted;
    result.text = candidate;
    result.selStart = start + 1;
    result.selLength = 0;
    return result;
}

} // namespace vorsa

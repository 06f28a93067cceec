#pragma once

// What poppler's tools read from a PDF file.
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace reporttest {

inline QString werkzeug(const QString& programm, const QStringList& argumente)
{
    QProcess p;
    p.start(programm, argumente);
    if (!p.waitForFinished(30000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of each page, trimmed (pages are separated by form feeds).
inline QStringList seitenTexte(const QString& pdf)
{
    QStringList seiten =
        werkzeug(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
            .split(QLatin1Char('\f'));
    if (!seiten.isEmpty() && seiten.last().trimmed().isEmpty())
        seiten.removeLast();
    for (QString& s : seiten)
        s = s.simplified();
    return seiten;
}

// pdfinfo's "Pages:" and "Page size:" lines.
inline int seitenzahl(const QString& pdf)
{
    static const QRegularExpression re(QStringLiteral("Pages:\\s+(\\d+)"));
    return re.match(werkzeug(QStringLiteral("pdfinfo"), {pdf})).captured(1).toInt();
}

// "595.276 x 841.89 pts (A4)"
inline QString seitengroesse(const QString& pdf)
{
    static const QRegularExpression re(QStringLiteral("Page size:\\s+(.*)"));
    return re.match(werkzeug(QStringLiteral("pdfinfo"), {pdf})).captured(1).trimmed();
}

// Width and height of page 1 in points.
inline QSizeF seitenmasse(const QString& pdf)
{
    static const QRegularExpression re(QStringLiteral("^([\\d.]+) x ([\\d.]+)"));
    const auto m = re.match(seitengroesse(pdf));
    return QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
}

// A word's box on page 1 in twips (pdftotext -bbox gives points).
struct Wort {
    double xMin = -1, yMin = -1, xMax = -1, yMax = -1;
};
inline Wort wort(const QString& pdf, const QString& text)
{
    const QString html =
        werkzeug(QStringLiteral("pdftotext"),
                 {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                  QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
    const QRegularExpression re(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">%1</word>")
            .arg(QRegularExpression::escape(text)));
    const auto m = re.match(html);
    if (!m.hasMatch())
        return {};
    return {m.captured(1).toDouble() * 20, m.captured(2).toDouble() * 20,
            m.captured(3).toDouble() * 20, m.captured(4).toDouble() * 20};
}

} // namespace reporttest

#include "ini.h"

#include "win1252.h"

#include <QFile>
#include <QList>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace vorsa {

namespace {

// A value comes back with at most this many characters (a 512-character
// buffer with its terminating zero).
constexpr qsizetype kMaxValueLength = 511;

const QByteArray kUtf8Bom("\xEF\xBB\xBF");
const QByteArray kUtf16LeBom("\xFF\xFE");
const QByteArray kUtf16BeBom("\xFE\xFF");

// How a file is stored; it is written back the same way.
enum class Encoding { Win1252, Utf8, Utf8Bom, Utf16Le, Utf16Be };

bool hasNonAscii(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

// A byte order mark names the encoding. Without one, a file that holds
// non-ASCII characters and is valid UTF-8 (as Linux editors save it) is UTF-8;
// everything else is Windows-1252.
Encoding detect(const QByteArray& data)
{
    if (data.startsWith(kUtf8Bom))
        return Encoding::Utf8Bom;
    if (data.startsWith(kUtf16LeBom))
        return Encoding::Utf16Le;
    if (data.startsWith(kUtf16BeBom))
        return Encoding::Utf16Be;
    if (hasNonAscii(data)) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(data);
        if (!utf8.hasError())
            return Encoding::Utf8;
    }
    return Encoding::Win1252;
}

QString decode(const QByteArray& data, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Win1252:
        return fromWin1252(data);
    case Encoding::Utf8:
        return QString::fromUtf8(data);
    case Encoding::Utf8Bom:
        return QString::fromUtf8(data.mid(kUtf8Bom.size()));
    case Encoding::Utf16Le: {
        QStringDecoder d(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        return d.decode(data.mid(kUtf16LeBom.size()));
    }
    case Encoding::Utf16Be: {
        QStringDecoder d(QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless);
        return d.decode(data.mid(kUtf16BeBom.size()));
    }
    }
    return {};
}

QByteArray encode(const QString& text, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Win1252:
        return toWin1252(text);
    case Encoding::Utf8:
        return text.toUtf8();
    case Encoding::Utf8Bom:
        return kUtf8Bom + text.toUtf8();
    case Encoding::Utf16Le: {
        QStringEncoder e(QStringEncoder::Utf16LE, QStringEncoder::Flag::Stateless);
        return kUtf16LeBom + QByteArray(e.encode(text));
    }
    case Encoding::Utf16Be: {
        QStringEncoder e(QStringEncoder::Utf16BE, QStringEncoder::Flag::Stateless);
        return kUtf16BeBom + QByteArray(e.encode(text));
    }
    }
    return {};
}

// One line of the file with its own line ending (none on a last line without
// one), plus what the line means.
struct IniLine {
    enum Kind { Blank, Comment, Section, Key, Other };

    QString raw; // the line including its ending
    Kind kind = Other;
    QString name;             // section or key name, trimmed
    QString value;            // key value, trimmed, quotes still on
    qsizetype valueStart = 0; // index in the line where the value begins
};

// The file split into lines, in the encoding it was read in.
struct IniFile {
    QList<IniLine> lines;
    Encoding encoding = Encoding::Win1252;
    QString eol = QStringLiteral("\r\n");

    QByteArray bytes() const
    {
        QString all;
        for (const IniLine& line : lines)
            all += line.raw;
        return encode(all, encoding);
    }
};

// The text of a line without its ending.
QString lineContent(const QString& raw)
{
    qsizetype end = raw.size();
    if (end > 0 && raw.at(end - 1) == u'\n')
        --end;
    if (end > 0 && raw.at(end - 1) == u'\r')
        --end;
    return raw.left(end);
}

void classify(IniLine& line, const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        line.kind = IniLine::Blank;
        return;
    }
    if (trimmed.startsWith(u';')) {
        line.kind = IniLine::Comment;
        return;
    }
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.lastIndexOf(u']');
        if (close > 0) {
            line.kind = IniLine::Section;
            line.name = trimmed.mid(1, close - 1).trimmed();
            return;
        }
    }
    const qsizetype eq = text.indexOf(u'=');
    if (eq < 0) {
        line.kind = IniLine::Other;
        return;
    }
    line.kind = IniLine::Key;
    line.name = text.left(eq).trimmed();
    qsizetype start = eq + 1;
    while (start < text.size() && (text.at(start) == u' ' || text.at(start) == u'\t'))
        ++start;
    line.valueStart = start;
    line.value = text.mid(eq + 1).trimmed();
}

IniFile parse(const QByteArray& data)
{
    IniFile ini;
    ini.encoding = detect(data);
    const QString text = decode(data, ini.encoding);
    const qsizetype firstLf = text.indexOf(u'\n');
    if (firstLf >= 0)
        ini.eol = (firstLf > 0 && text.at(firstLf - 1) == u'\r') ? QStringLiteral("\r\n")
                                                                 : QStringLiteral("\n");
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype lf = text.indexOf(u'\n', pos);
        const qsizetype end = lf < 0 ? text.size() : lf + 1;
        IniLine line;
        line.raw = text.mid(pos, end - pos);
        classify(line, lineContent(line.raw));
        ini.lines.append(line);
        pos = end;
    }
    return ini;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a key stands: the first section of that name, its first key of that
// name, and its last key line (the place for a new key).
struct Location {
    qsizetype section = -1;
    qsizetype key = -1;
    qsizetype lastKey = -1;
};

Location locate(const IniFile& ini, const QString& section, const QString& key)
{
    Location loc;
    for (qsizetype i = 0; i < ini.lines.size(); ++i) {
        const IniLine& line = ini.lines.at(i);
        if (line.kind == IniLine::Section) {
            if (loc.section >= 0)
                break; // only the first section of the name counts
            if (sameName(line.name, section))
                loc.section = i;
            continue;
        }
        if (loc.section < 0 || line.kind != IniLine::Key)
            continue;
        loc.lastKey = i;
        if (loc.key < 0 && sameName(line.name, key))
            loc.key = i;
    }
    return loc;
}

QString unquoted(const QString& value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

// Section, key and value are one line each in the file: a line break inside
// one of them would make new lines (and could plant keys), so it becomes a blank.
QString oneLine(QString text)
{
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

// A value that reading would change (blanks at its ends, or quotes of its own
// around it) is written inside double quotes, which reading takes off again.
QString storedValue(const QString& value)
{
    const bool ownQuotes = unquoted(value).size() != value.size();
    if (value.trimmed().size() != value.size() || ownQuotes)
        return u'"' + value + u'"';
    return value;
}

void ensureLineEnding(IniFile& ini, qsizetype index)
{
    IniLine& line = ini.lines[index];
    if (!line.raw.endsWith(u'\n'))
        line.raw += ini.eol;
}

} // namespace

QString IniLesen(const QString& section, const QString& key, const QString& file,
                 const QString& defaultValue)
{
    // Like the profile function, the default loses its trailing blanks.
    QString fallback = defaultValue;
    while (fallback.endsWith(u' '))
        fallback.chop(1);
    fallback.truncate(kMaxValueLength);

    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return fallback;
    const IniFile ini = parse(f.readAll());
    const Location loc = locate(ini, section, key);
    if (loc.key < 0)
        return fallback;
    QString value = unquoted(ini.lines.at(loc.key).value);
    value.truncate(kMaxValueLength);
    return value;
}

void IniSchreiben(const QString& section, const QString& key, const QString& file,
                  const QString& value)
{
    const QString sectionName = oneLine(section);
    const QString keyName = oneLine(key);
    const QString newValue = storedValue(oneLine(value));

    QByteArray before;
    {
        QFile f(file);
        if (f.exists()) {
            // A file that is there but cannot be read must not be replaced by
            // one that holds only the new key.
            if (!f.open(QIODevice::ReadOnly))
                return;
            before = f.readAll();
        }
    }
    IniFile ini = parse(before);
    const Location loc = locate(ini, sectionName, keyName);

    if (loc.key >= 0) {
        IniLine& line = ini.lines[loc.key];
        const QString content = lineContent(line.raw);
        line.raw = content.left(line.valueStart) + newValue + line.raw.mid(content.size());
    } else {
        IniLine keyLine;
        keyLine.kind = IniLine::Key;
        keyLine.raw = keyName + u'=' + newValue + ini.eol;
        if (loc.section >= 0) {
            const qsizetype after = loc.lastKey >= 0 ? loc.lastKey : loc.section;
            ensureLineEnding(ini, after);
            ini.lines.insert(after + 1, keyLine);
        } else {
            if (!ini.lines.isEmpty())
                ensureLineEnding(ini, ini.lines.size() - 1);
            IniLine header;
            header.kind = IniLine::Section;
            header.raw = u'[' + sectionName + u']' + ini.eol;
            ini.lines.append(header);
            ini.lines.append(keyLine);
        }
    }

    const QByteArray after = ini.bytes();
    if (after == before && QFile::exists(file))
        return;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return;
    if (out.write(after) != after.size()) {
        out.cancelWriting();
        return;
    }
    out.commit();
}

} // namespace vorsa

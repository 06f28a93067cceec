#include "ini.h"

#include "win1252.h"

#include <QFile>
#include <QList>
#include <QSaveFile>

namespace vorsa {

namespace {

// A value comes back with at most this many characters (a 512-character
// buffer with its terminating zero).
constexpr qsizetype kMaxValueLength = 511;

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

// One line of the file as it is on disk, with its own line ending (none on a
// last line without one), plus what the line means.
struct IniLine {
    enum Kind { Blank, Comment, Section, Key, Other };

    QByteArray raw; // the bytes of the line including its ending
    Kind kind = Other;
    QString name;             // section or key name, trimmed
    QString value;            // key value, trimmed, quotes still on
    qsizetype valueStart = 0; // index in the decoded text where the value begins
};

// The file split into lines. Files are Windows-1252; a file that starts with a
// UTF-8 byte order mark (as some editors save it) is read and kept as UTF-8.
struct IniFile {
    QList<IniLine> lines;
    bool utf8 = false;
    QByteArray eol = "\r\n";

    QString decode(const QByteArray& bytes) const
    {
        return utf8 ? QString::fromUtf8(bytes) : fromWin1252(bytes);
    }
    QByteArray encode(const QString& text) const { return utf8 ? text.toUtf8() : toWin1252(text); }

    QByteArray bytes() const
    {
        QByteArray all;
        for (const IniLine& line : lines)
            all += line.raw;
        return all;
    }
};

// The text of a line without its ending (and without the byte order mark on
// the first line).
QByteArray lineContent(const QByteArray& raw, bool first, bool utf8)
{
    QByteArray content = raw;
    if (content.endsWith('\n'))
        content.chop(1);
    if (content.endsWith('\r'))
        content.chop(1);
    if (first && utf8 && content.startsWith(kUtf8Bom))
        content.remove(0, kUtf8Bom.size());
    return content;
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
    ini.utf8 = data.startsWith(kUtf8Bom);
    const qsizetype firstLf = data.indexOf('\n');
    if (firstLf >= 0)
        ini.eol =
            (firstLf > 0 && data.at(firstLf - 1) == '\r') ? QByteArray("\r\n") : QByteArray("\n");
    qsizetype pos = 0;
    while (pos < data.size()) {
        const qsizetype lf = data.indexOf('\n', pos);
        const qsizetype end = lf < 0 ? data.size() : lf + 1;
        IniLine line;
        line.raw = data.mid(pos, end - pos);
        classify(line, ini.decode(lineContent(line.raw, pos == 0, ini.utf8)));
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
    if (!line.raw.endsWith('\n'))
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
        const QString text = ini.decode(lineContent(line.raw, loc.key == 0, ini.utf8));
        QByteArray raw = ini.encode(text.left(line.valueStart) + newValue);
        if (loc.key == 0 && ini.utf8)
            raw.prepend(kUtf8Bom);
        const qsizetype endingStart = line.raw.endsWith("\r\n") ? line.raw.size() - 2
                                      : line.raw.endsWith('\n') ? line.raw.size() - 1
                                                                : line.raw.size();
        line.raw = raw + line.raw.mid(endingStart);
    } else {
        IniLine keyLine;
        keyLine.kind = IniLine::Key;
        keyLine.raw = ini.encode(keyName + u'=' + newValue) + ini.eol;
        if (loc.section >= 0) {
            const qsizetype after = loc.lastKey >= 0 ? loc.lastKey : loc.section;
            ensureLineEnding(ini, after);
            ini.lines.insert(after + 1, keyLine);
        } else {
            if (!ini.lines.isEmpty())
                ensureLineEnding(ini, ini.lines.size() - 1);
            IniLine header;
            header.kind = IniLine::Section;
            header.raw = ini.encode(u'[' + sectionName + u']') + ini.eol;
            if (ini.lines.isEmpty() && ini.utf8)
                header.raw.prepend(kUtf8Bom);
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

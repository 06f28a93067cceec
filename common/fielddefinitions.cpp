#include "fielddefinitions.h"

#include "convert.h"
#include "ini.h"
#include "reporter.h"
#include "vberror.h"

#include <cmath>

namespace vorsa {

namespace {
struct FixedField {
    const char* name;
    const char* format;
};
// Fields every call has; appended when no section defines them.
constexpr FixedField kFixedFields[] = {
    {"Datum", "hh:mm  dd.mm.yy"},
    {"Anrufer", ""},
    {"Versuche", ""},
};
} // namespace

clsDaten& FieldDefinitions::ClassDatenInstanzieren(const QString& fieldName)
{
    if (find(fieldName))
        throw VbError::duplicateKey();
    clsDaten& d = m_items.emplace_back();
    d.FieldName = fieldName;
    return d;
}

clsDaten* FieldDefinitions::find(const QString& fieldName)
{
    const int i = indexOf(fieldName);
    return i < 0 ? nullptr : &m_items[size_t(i)];
}

int FieldDefinitions::indexOf(QStringView fieldName) const
{
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].FieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

Call FieldDefinitions::emptyCall() const
{
    Call call;
    call.values.fill(QVariant(QString()), qsizetype(m_items.size()));
    return call;
}

QVariant FieldDefinitions::value(const Call& call, const QString& fieldName) const
{
    const int i = indexOf(fieldName);
    return i >= 0 && i < call.values.size() ? call.values.at(i) : QVariant();
}

const clsDaten* FieldDefinitions::find(const QString& fieldName) const
{
    return const_cast<FieldDefinitions*>(this)->find(fieldName);
}

void FieldDefinitions::clear()
{
    while (!m_items.empty())
        m_items.pop_back();
}

void FieldDefinitions::EinlesenDatenfelder(const QString& iniFile, IReporter& reporter)
{
    guarded(reporter, QStringLiteral("EinlesenDatenfelder"), [&] {
        for (int i = 1;; ++i) {
            const QString section = QStringLiteral("Feld%1").arg(i);
            const QString name =
                IniLesen(section, QStringLiteral("FieldName"), iniFile, {}).trimmed();
            if (name.isEmpty())
                break;
            guarded(reporter, QStringLiteral("ClassDatenInstanzieren"),
                    [&] { ClassDatenInstanzieren(name); });
            clsDaten* d = find(name);
            d->ColumnHeader =
                IniLesen(section, QStringLiteral("ColumnName"), iniFile, {}).trimmed();
            d->ColumnWidth = toLong(
                IniLesen(section, QStringLiteral("ColumnWidth"), iniFile, QStringLiteral("100"))
                    .trimmed());
            d->ColumnFormat =
                IniLesen(section, QStringLiteral("ColumnFormat"), iniFile, {}).trimmed();
            d->ColumnVisible = ConvStringToBoolean(
                IniLesen(section, QStringLiteral("ColumnVisible"), iniFile, QStringLiteral("True"))
                    .trimmed());
        }
        // The fixed fields are looked for as every field is, ignoring case: a
        // section "datum" is the date field, not a reason to fail at every start.
        for (const auto& fixed : kFixedFields) {
            const QString name = QString::fromLatin1(fixed.name);
            if (find(name))
                continue;
            guarded(reporter, QStringLiteral("ClassDatenInstanzieren"), [&] {
                clsDaten& d = ClassDatenInstanzieren(name);
                d.ColumnHeader = name;
                d.ColumnWidth = 100;
                d.ColumnFormat = QString::fromLatin1(fixed.format);
                d.ColumnVisible = true;
            });
        }
    });
}

QList<FieldDefinitions::Column> FieldDefinitions::configuredColumns() const
{
    QList<Column> out;
    for (const auto& d : m_items) {
        if (d.ColumnVisible)
            out.append({d.FieldName, d.ColumnHeader, double(d.ColumnWidth), int(out.size()) + 1});
    }
    return out;
}

void FieldDefinitions::writeBack(const QString& iniFile, const QList<Column>& columns)
{
    auto writeSection = [&](int number, const QString& key, const QString& header, double width,
                            const clsDaten* d) {
        const QString section = QStringLiteral("Feld%1").arg(number);
        IniSchreiben(section, QStringLiteral("FieldName"), iniFile, key);
        IniSchreiben(section, QStringLiteral("ColumnName"), iniFile, header);
        IniSchreiben(section, QStringLiteral("ColumnWidth"), iniFile,
                     QString::number(qint64(std::floor(width))));
        IniSchreiben(section, QStringLiteral("ColumnFormat"), iniFile,
                     d ? d->ColumnFormat : QString());
        IniSchreiben(section, QStringLiteral("ColumnVisible"), iniFile,
                     (d ? d->ColumnVisible : true) ? QStringLiteral("1") : QStringLiteral("0"));
    };
    for (const auto& c : columns) {
        clsDaten* d = find(c.key);
        writeSection(c.displayPosition, c.key, c.header, c.width, d);
        if (d)
            d->InIniWrite = true;
    }
    int next = int(columns.size());
    for (auto& d : m_items) {
        if (d.InIniWrite)
            continue;
        writeSection(++next, d.FieldName, d.ColumnHeader, d.ColumnWidth, &d);
        d.InIniWrite = true;
    }
}

} // namespace vorsa

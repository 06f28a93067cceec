#include "propertybag.h"

#include <QDataStream>
#include <QIODevice>

namespace orvo {

namespace {
constexpr quint32 kMagic = 0x4f50420a; // "OPB\n"
constexpr quint16 kVersion = 1;
} // namespace

qsizetype PropertyBag::indexOf(const QString& name) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).first.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void PropertyBag::WriteProperty(const QString& name, const QVariant& value,
                                const QVariant& defaultValue)
{
    const qsizetype at = indexOf(name);
    if (defaultValue.isValid() && value == defaultValue) {
        if (at >= 0)
            m_entries.removeAt(at);
        return;
    }
    if (at >= 0)
        m_entries[at].second = value;
    else
        m_entries.append({name, value});
}

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue) const
{
    const qsizetype at = indexOf(name);
    return at >= 0 ? m_entries.at(at).second : defaultValue;
}

bool PropertyBag::contains(const QString& name) const
{
    return indexOf(name) >= 0;
}

QStringList PropertyBag::names() const
{
    QStringList out;
    for (const auto& entry : m_entries)
        out << entry.first;
    return out;
}

QByteArray PropertyBag::toByteArray() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << kMagic << kVersion << quint32(m_entries.size());
    for (const auto& entry : m_entries)
        out << entry.first << entry.second;
    return bytes;
}

bool PropertyBag::fromByteArray(const QByteArray& bytes)
{
    m_entries.clear();
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint16 version = 0;
    quint32 count = 0;
    in >> magic >> version >> count;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion)
        return false;
    QList<std::pair<QString, QVariant>> entries;
    for (quint32 i = 0; i < count; ++i) {
        QString name;
        QVariant value;
        in >> name >> value;
        if (in.status() != QDataStream::Ok)
            return false;
        entries.append({name, value});
    }
    m_entries = entries;
    return true;
}

} // namespace orvo

#include "calllog.h"

#include "notification.h"
#include "vberror.h"
#include "win1252.h"

#include <QFile>

namespace vorsa {

void CallLog::WriteLog(const QString& line) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw VbError::pathFileAccess(m_path);
    const QByteArray bytes = toWin1252(line) + "\r\n";
    // The bytes leave the buffer only at flush or close; a full disk shows
    // there, not at write().
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw VbError::pathFileAccess(m_path);
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw VbError::pathFileAccess(m_path);
}

void CallLog::readJournal(const QString& filter,
                          const std::function<void(const QString&)>& entry) const
{
    QFile file(m_path);
    if (!file.exists())
        throw VbError::fileNotFound(m_path);
    if (!file.open(QIODevice::ReadOnly))
        throw VbError::pathFileAccess(m_path);
    const QByteArray marker = QByteArrayLiteral("*D*");
    while (!file.atEnd()) {
        QByteArray raw = file.readLine();
        if (!raw.startsWith(marker))
            continue;
        while (raw.endsWith('\n') || raw.endsWith('\r'))
            raw.chop(1);
        const QString message = fromWin1252(raw.mid(marker.size()));
        if (journal::selected(message, filter))
            entry(message);
    }
}

} // namespace vorsa

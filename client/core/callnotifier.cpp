#include "callnotifier.h"

#include "calllistmodel.h"
#include "convert.h"
#include "iconlist.h"
#include "ini.h"
#include "reporter.h"

#include <QFileInfo>

namespace vorsa {

namespace {
const QString kSettings = QStringLiteral("Settings");
const QString kKey = QStringLiteral("Benachrichtigung");
// What a lookup that found nothing puts into the columns of its result.
const QString kNotFound = QStringLiteral("***");

bool isKey(const QString& key, const char* name)
{
    return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

QString digits(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c.isDigit())
            out += c;
    }
    return out;
}
} // namespace

CallNotifier::CallNotifier(const CallListModel& model, ICallNotifications& notifications,
                           QObject* parent)
    : QObject(parent), m_model(model), m_notifications(notifications)
{
    m_replayQuiet.setSingleShot(true);
    m_replayQuiet.setInterval(ReplayQuietMs);
    // Rows come one by one on top; a replay filled in one go resets the model.
    connect(&m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int) {
                if (first == 0)
                    rowAdded();
            });
    m_notifications.setActivationHandler([this] {
        if (m_bringToFront)
            m_bringToFront();
    });
}

void CallNotifier::EinlesenBenachrichtigung(const QString& iniFile, const QString& programDir)
{
    const QString missing = QStringLiteral("?");
    const QString text = IniLesen(kSettings, kKey, iniFile, missing);
    if (text == missing) {
        IniSchreiben(kSettings, kKey, iniFile, QStringLiteral("1"));
        m_enabled = true;
    } else {
        m_enabled = ConvStringToBoolean(text);
    }
    // The list has reported icons it could not load already.
    RecordingReporter silent;
    FileIconList icons;
    EinlesenIcons(iniFile, programDir, icons, silent);
    m_iconPaths = icons.paths();
}

void CallNotifier::replayRequested()
{
    m_replayQuiet.start();
}

void CallNotifier::setBringToFront(std::function<void()> bringToFront)
{
    m_bringToFront = std::move(bringToFront);
}

void CallNotifier::rowAdded()
{
    if (m_replayQuiet.isActive()) {
        m_replayQuiet.start(); // the replay goes on
        return;
    }
    if (!m_enabled || m_model.rowCount() == 0)
        return;
    QStringList keys;
    for (const auto& column : m_model.columns())
        keys << column.key;
    const int icon = m_model.rowIcon(0);
    const QString iconPath =
        icon >= 1 && icon <= m_iconPaths.size() ? m_iconPaths.at(icon - 1) : QString();
    m_notifications.show(compose(keys, m_model.rowCells(0), iconPath));
}

CallNotice CallNotifier::compose(const QStringList& keys, const QStringList& cells,
                                 const QString& iconPath)
{
    QString number;
    for (qsizetype i = 0; i < keys.size() && i < cells.size(); ++i) {
        if (isKey(keys[i], "Anrufer"))
            number = cells[i].trimmed();
    }
    // The other columns in their order: the first is the name. A value that
    // only repeats the number, or the mark of a caller not found, says nothing.
    QStringList values;
    const QString numberDigits = digits(number);
    for (qsizetype i = 0; i < keys.size() && i < cells.size(); ++i) {
        if (isKey(keys[i], "Anrufer") || isKey(keys[i], "Datum") || isKey(keys[i], "Versuche"))
            continue;
        const QString value = cells[i].trimmed();
        if (value.isEmpty() || value == kNotFound)
            continue;
        if (!numberDigits.isEmpty() && digits(value) == numberDigits)
            continue;
        values << value;
    }
    CallNotice notice;
    notice.iconPath = iconPath;
    if (values.isEmpty()) {
        notice.summary = QStringLiteral("Anruf");
        notice.body = number;
        return notice;
    }
    notice.summary = values.takeFirst();
    notice.body = number;
    if (!values.isEmpty()) {
        if (!notice.body.isEmpty())
            notice.body += QLatin1Char('\n');
        notice.body += values.join(QStringLiteral(", "));
    }
    return notice;
}

} // namespace vorsa

#include "modfenster.h"

#include "vberror.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>
#include <cmath>
#include <limits>

namespace vorsa {

// --- placement ---------------------------------------------------------------

int WindowPlacement::number(const QString& suffix, int defaultValue) const
{
    const QString text = m_store.value(m_name + suffix, QString::number(defaultValue)).trimmed();
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw VbError::typeMismatch();
    if (std::abs(value) > std::numeric_limits<int>::max())
        throw VbError::overflow();
    return int(std::lround(value));
}

int WindowPlacement::storedState() const
{
    const int state = number(QStringLiteral("Max"), IPlacedWindow::Normal);
    if (state != IPlacedWindow::Normal && state != IPlacedWindow::Minimized &&
        state != IPlacedWindow::Maximized)
        throw VbError(380, QStringLiteral("Unzulässiger Eigenschaftswert"));
    return state;
}

void WindowPlacement::load(IPlacedWindow& window, int defaultWidth, int defaultHeight) const
{
    loadPosition(window);
    if (window.windowState() != IPlacedWindow::Normal)
        return;
    window.setWidth(number(QStringLiteral("Width"), defaultWidth));
    window.setHeight(number(QStringLiteral("Height"), defaultHeight));
}

void WindowPlacement::loadPosition(IPlacedWindow& window) const
{
    window.setWindowState(storedState());
    if (window.windowState() != IPlacedWindow::Normal)
        return;
    window.setLeft(number(QStringLiteral("Left"), DefaultLeft));
    window.setTop(number(QStringLiteral("Top"), DefaultTop));
}

void WindowPlacement::save(const IPlacedWindow& window)
{
    savePosition(window);
    if (window.windowState() != IPlacedWindow::Normal)
        return;
    m_store.setValue(m_name + QStringLiteral("Width"), QString::number(window.width()));
    m_store.setValue(m_name + QStringLiteral("Height"), QString::number(window.height()));
}

void WindowPlacement::savePosition(const IPlacedWindow& window)
{
    const int state = window.windowState();
    if (state == IPlacedWindow::Minimized)
        return;
    m_store.setValue(m_name + QStringLiteral("Max"), QString::number(state));
    if (state == IPlacedWindow::Maximized)
        return;
    m_store.setValue(m_name + QStringLiteral("Left"), QString::number(window.left()));
    m_store.setValue(m_name + QStringLiteral("Top"), QString::number(window.top()));
}

// --- store -------------------------------------------------------------------

namespace {
// One file per program in the user's configuration folder; a "/" in the
// title would make a folder of it.
QString storeFile(const QString& applicationName)
{
    QString name = applicationName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(dir).filePath(name + QStringLiteral(".conf"));
}
const QString kGroup = QStringLiteral("Settings/");
} // namespace

SettingsPlacementStore::SettingsPlacementStore(const QString& applicationName)
    : m_settings(new QSettings(storeFile(applicationName), QSettings::IniFormat))
{
}

SettingsPlacementStore::~SettingsPlacementStore()
{
    m_settings->sync();
    delete m_settings;
}

QString SettingsPlacementStore::value(const QString& key, const QString& defaultValue) const
{
    return m_settings->value(kGroup + key, defaultValue).toString();
}

void SettingsPlacementStore::setValue(const QString& key, const QString& value)
{
    m_settings->setValue(kGroup + key, value);
}

QString SettingsPlacementStore::fileName() const
{
    return m_settings->fileName();
}

// --- windows -----------------------------------------------------------------

namespace {
int toPixels(int twips)
{
    return int(std::lround(double(twips) / WindowPlacement::TwipsPerPixel));
}
int toTwips(int pixels)
{
    return pixels * WindowPlacement::TwipsPerPixel;
}

// Position of the frame, size of the window's inside: what move() and
// resize() take, so a restore puts the window exactly where it was.
class PlacedWidget : public IPlacedWindow {
public:
    explicit PlacedWidget(QWidget* w) : m_w(w) {}
    int windowState() const override
    {
        const auto s = m_w->windowState();
        if (s & Qt::WindowMinimized)
            return Minimized;
        if (s & (Qt::WindowMaximized | Qt::WindowFullScreen))
            return Maximized;
        return Normal;
    }
    void setWindowState(int state) override
    {
        Qt::WindowStates s = m_w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
        if (state == Minimized)
            s |= Qt::WindowMinimized;
        else if (state == Maximized)
            s |= Qt::WindowMaximized;
        m_w->setWindowState(s);
    }
    int left() const override { return toTwips(m_w->pos().x()); }
    int top() const override { return toTwips(m_w->pos().y()); }
    int width() const override { return toTwips(m_w->width()); }
    int height() const override { return toTwips(m_w->height()); }
    void setLeft(int twips) override { m_w->move(toPixels(twips), m_w->pos().y()); }
    void setTop(int twips) override { m_w->move(m_w->pos().x(), toPixels(twips)); }
    void setWidth(int twips) override { m_w->resize(qMax(1, toPixels(twips)), m_w->height()); }
    void setHeight(int twips) override { m_w->resize(m_w->width(), qMax(1, toPixels(twips))); }

private:
    QWidget* m_w;
};
} // namespace

void FensterPositionLaden(QWidget* window, int defaultWidth, int defaultHeight,
                          const QString& applicationName)
{
    SettingsPlacementStore store(applicationName);
    PlacedWidget placed(window);
    WindowPlacement(store, window->objectName()).load(placed, defaultWidth, defaultHeight);
}

void FensterPositionSpeichern(QWidget* window, const QString& applicationName)
{
    SettingsPlacementStore store(applicationName);
    PlacedWidget placed(window);
    WindowPlacement(store, window->objectName()).save(placed);
}

void FensterLageLaden(QWidget* window, const QString& applicationName)
{
    SettingsPlacementStore store(applicationName);
    PlacedWidget placed(window);
    WindowPlacement(store, window->objectName()).loadPosition(placed);
}

void FensterLageSpeichern(QWidget* window, const QString& applicationName)
{
    SettingsPlacementStore store(applicationName);
    PlacedWidget placed(window);
    WindowPlacement(store, window->objectName()).savePosition(placed);
}

} // namespace vorsa

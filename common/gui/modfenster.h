#pragma once

#include <QString>
#include <QVariant>

class QWidget;
class QSettings;

namespace vorsa {

// A window as the placement sees it: state and normal geometry in twips
// (15 twips per pixel).
class IPlacedWindow {
public:
    enum State { Normal = 0, Minimized = 1, Maximized = 2 };
    virtual ~IPlacedWindow() = default;
    virtual int windowState() const = 0;
    virtual void setWindowState(int state) = 0;
    virtual int left() const = 0;
    virtual int top() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual void setLeft(int twips) = 0;
    virtual void setTop(int twips) = 0;
    virtual void setWidth(int twips) = 0;
    virtual void setHeight(int twips) = 0;
};

// The per-user key-value store of the placements (group "Settings").
class IPlacementStore {
public:
    virtual ~IPlacementStore() = default;
    virtual QString value(const QString& key, const QString& defaultValue) const = 0;
    virtual void setValue(const QString& key, const QString& value) = 0;
};

// Remembers whether a window was maximised and where and how large it was,
// under the keys window name + "Max", "Left", "Top", "Width", "Height".
class WindowPlacement {
public:
    static constexpr int TwipsPerPixel = 15;
    static constexpr int DefaultLeft = 1000;
    static constexpr int DefaultTop = 1000;

    WindowPlacement(IPlacementStore& store, QString windowName)
        : m_store(store), m_name(std::move(windowName))
    {
    }

    // Restores the state and, in the normal state, position and size; a value
    // that is not a number fails with 13 after the values before it were applied.
    void load(IPlacedWindow& window, int defaultWidth, int defaultHeight) const;
    // Stores nothing for a minimised window, only the state for a maximised one.
    void save(const IPlacedWindow& window);
    // The same for windows that keep only their state and position ("Max",
    // "Left", "Top"; dialogs of a fixed size).
    void loadPosition(IPlacedWindow& window) const;
    void savePosition(const IPlacedWindow& window);

private:
    int number(const QString& suffix, int defaultValue) const;
    int storedState() const;

    IPlacementStore& m_store;
    QString m_name;
};

// The placement store of a program: per user, application name = the
// program's title.
class SettingsPlacementStore : public IPlacementStore {
public:
    explicit SettingsPlacementStore(const QString& applicationName);
    ~SettingsPlacementStore() override;
    QString value(const QString& key, const QString& defaultValue) const override;
    void setValue(const QString& key, const QString& value) override;
    // The file that holds the values.
    QString fileName() const;

private:
    QSettings* m_settings;
};

// modFenster for windows: the window's objectName is its name in the store;
// sizes are the designed size in twips.
void FensterPositionLaden(QWidget* window, int defaultWidth, int defaultHeight,
                          const QString& applicationName);
void FensterPositionSpeichern(QWidget* window, const QString& applicationName);
// Only state and position, for dialogs of a fixed size.
void FensterLageLaden(QWidget* window, const QString& applicationName);
void FensterLageSpeichern(QWidget* window, const QString& applicationName);

} // namespace vorsa

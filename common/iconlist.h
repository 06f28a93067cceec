#pragma once

#include <QString>
#include <QStringList>

namespace vorsa {

class IReporter;

// The list of 16 x 16 row icons, numbered from 1. The window's list loads the
// images; without a window a file only has to be readable.
class IIconList {
public:
    virtual ~IIconList() = default;
    virtual void clear() = 0;
    // Loads one image file as icon `index`; fails with 53 (missing) or 481 (no
    // image). A number left out by a failed file stays empty, so the icons
    // after it keep their numbers.
    virtual void add(const QString& path, int index) = 0;
    // The highest number that holds an image.
    virtual int count() const = 0;
};

class FileIconList : public IIconList {
public:
    void clear() override { m_paths.clear(); }
    void add(const QString& path, int index) override;
    int count() const override { return int(m_paths.size()); }
    // By number from 1; an empty path where a file failed.
    const QStringList& paths() const { return m_paths; }

private:
    QStringList m_paths;
};

// Reads ICON1, ICON2, ... of section ICONS (untrimmed) until the first empty
// value; relative paths are taken from the program folder. A file that cannot be
// loaded is reported as "[ImageList1Aufbauen]" and left out (its number
// stays empty). Returns the icon count.
int EinlesenIcons(const QString& iniFile, const QString& programDir, IIconList& icons,
                  IReporter& reporter);

} // namespace vorsa

#pragma once

#include "iconlist.h"

#include <QIcon>
#include <QList>

namespace vorsa {

// The icon list of a window: images scaled to 16 x 16.
class PixmapIconList : public IIconList {
public:
    void clear() override { m_icons.clear(); }
    void add(const QString& path, int index) override;
    int count() const override { return int(m_icons.size()); }
    // Icon number 1..count; other numbers, and numbers whose file failed, give
    // a null icon.
    QIcon icon(int number) const;

private:
    QList<QIcon> m_icons;
};

} // namespace vorsa

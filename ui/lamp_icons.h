// The application icon and the four lamp pictures, rendered from their SVG resources with Qt SVG.
#pragma once

#include <array>

#include <QIcon>
#include <QString>

#include "session/alarm_lamps.h"

namespace tavrel {

inline constexpr int kIconSizePx = 32;

// An icon drawn from an SVG file at 32 x 32 (and at twice that for dense screens); null when unreadable.
QIcon loadSvgIcon(const QString& path);

QIcon applicationIcon();

class LampIconSet {
public:
    LampIconSet();
    const QIcon& icon(LampIcon which) const { return m_icons.at(static_cast<std::size_t>(which)); }

private:
    std::array<QIcon, 4> m_icons; // in LampIcon order
};

} // namespace tavrel

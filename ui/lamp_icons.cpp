// SVG rendering of the icons into pixmaps, so every icon exists before the first paint.
#include "ui/lamp_icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "resources/resource_paths.h"

namespace tavrel {

QIcon loadSvgIcon(const QString& path) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return QIcon();
    QIcon icon;
    for (const int side : {kIconSizePx, 2 * kIconSizePx}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon applicationIcon() {
    return loadSvgIcon(resource::applicationIcon());
}

LampIconSet::LampIconSet()
    : m_icons{loadSvgIcon(resource::lampOffIcon()), loadSvgIcon(resource::lampNormalIcon()),
              loadSvgIcon(resource::lampAlarmAIcon()), loadSvgIcon(resource::lampAlarmBIcon())} {}

} // namespace tavrel

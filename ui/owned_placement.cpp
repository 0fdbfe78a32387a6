// From Qt geometries to the placement arithmetic and back.
#include "ui/owned_placement.h"

#include <QScreen>
#include <QWidget>

#include "ui/window_placement.h"

namespace tavrel {
namespace {

constexpr int kGapPx = 4;

Box box(const QRect& rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

} // namespace

void placeBesideOwner(QWidget& window, const QWidget& owner) {
    const QScreen* screen = owner.screen();
    if (!screen)
        return;
    // The decorations' sizes across, from a frame the window manager has drawn already.
    const QWidget& framed = window.frameGeometry() != window.geometry() ? window : owner;
    const int extraWidth = framed.frameGeometry().width() - framed.geometry().width();
    const int extraHeight = framed.frameGeometry().height() - framed.geometry().height();

    PlacementRequest request;
    request.owner = box(owner.frameGeometry());
    request.screen = box(screen->availableGeometry());
    request.width = window.width() + extraWidth;
    request.height = window.height() + extraHeight;
    request.minWidth = window.minimumWidth() + extraWidth;
    request.minHeight = window.minimumHeight() + extraHeight;
    request.gap = kGapPx;
    const Box frame = placeBeside(request);

    window.resize(frame.width - extraWidth, frame.height - extraHeight);
    // A window's position is that of its frame; Qt adds the decorations it knows of itself.
    window.move(frame.x, frame.y);
}

} // namespace tavrel

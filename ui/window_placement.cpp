// The placement rule: beside, below, shrunk, or as far out of the owner's way as the screen allows.
#include "ui/window_placement.h"

#include <algorithm>

namespace tavrel {
namespace {

// The start of a span of the given length that starts as near `wanted` as the range allows.
int clampStart(int wanted, int length, int first, int end) {
    return std::max(first, std::min(wanted, end - length));
}

} // namespace

Box placeBeside(const PlacementRequest& r) {
    const Box& owner = r.owner;
    const Box& screen = r.screen;
    const int rightRoom = screen.right() - (owner.right() + r.gap);
    const int leftRoom = owner.x - r.gap - screen.x;
    const int belowRoom = screen.bottom() - (owner.bottom() + r.gap);
    const int height = std::min(r.height, screen.height);
    const int width = std::min(r.width, screen.width);

    const auto besideAt = [&](bool right, int w) {
        return Box{right ? owner.right() + r.gap : owner.x - r.gap - w,
                   clampStart(owner.y, height, screen.y, screen.bottom()), w, height};
    };
    const auto belowAt = [&](int h) {
        return Box{clampStart(owner.x, width, screen.x, screen.right()), owner.bottom() + r.gap, width, h};
    };

    if (rightRoom >= r.width)
        return besideAt(true, r.width);
    if (leftRoom >= r.width)
        return besideAt(false, r.width);
    if (belowRoom >= r.height)
        return belowAt(r.height);
    // Shrunk: whichever of the wider side and below leaves the larger window.
    const int besideRoom = std::max(rightRoom, leftRoom);
    const bool besideFits = besideRoom >= r.minWidth;
    const bool belowFits = belowRoom >= r.minHeight;
    if (besideFits && (!belowFits || static_cast<long long>(besideRoom) * height >=
                                         static_cast<long long>(width) * belowRoom))
        return besideAt(rightRoom >= leftRoom, besideRoom);
    if (belowFits)
        return belowAt(belowRoom);
    return Box{screen.right() - width, screen.bottom() - height, width, height};
}

} // namespace tavrel

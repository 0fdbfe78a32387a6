// Where a window owned by another goes so that it covers none of its owner: the arithmetic, without Qt.
#pragma once

namespace tavrel {

struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int right() const { return x + width; } // one past the last column
    int bottom() const { return y + height; }
    friend bool operator==(const Box&, const Box&) = default;
};

struct PlacementRequest {
    Box owner;     // the owner's frame
    Box screen;    // the screen's available area
    int width = 0; // the window's frame as it would like to be
    int height = 0;
    int minWidth = 0; // the least it may shrink to so as to fit beside or below
    int minHeight = 0;
    int gap = 0; // between the two frames
};

// The window's frame: right of the owner, else left of it, at the owner's top, wherever it fits whole; else
// below the owner at its left; else shrunk into the room beside (the wider side) or below, whichever leaves
// the larger window of at least the minimum; else in the screen's bottom right-hand corner, on the screen.
Box placeBeside(const PlacementRequest& request);

} // namespace tavrel

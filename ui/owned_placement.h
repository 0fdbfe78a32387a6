// Puts a window that the main window owns beside it on its screen, so that it covers none of it.
#pragma once

class QWidget;

namespace tavrel {

// Moves and sizes the window (frame included) by placeBeside(): right or left of the owner, else below it,
// shrunk to no less than the window's minimum size when that makes it fit. The window's own frame is taken
// to be the owner's while it has not been shown yet.
void placeBesideOwner(QWidget& window, const QWidget& owner);

} // namespace tavrel

// Placing an owned window out of its owner's way on screens of several sizes.
#include "ui/window_placement.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

struct PlacementCase {
    const char* name;
    Box owner;
    Box screen;
    Box expected;
};

TEST(WindowPlacement, BesideWhereThereIsRoomElseBelowElseShrunkElseOnScreen) {
    // The window would like 700 x 380 and takes no less than 300 x 150, 4 pixels from its owner.
    const std::vector<PlacementCase> cases{
        {"right of the owner", {0, 0, 700, 460}, {0, 0, 1920, 1080}, {704, 0, 700, 380}},
        {"left when the right is too narrow",
         {1000, 100, 700, 460},
         {0, 0, 1920, 1080},
         {296, 100, 700, 380}},
        {"below when neither side has room", {0, 0, 700, 460}, {0, 0, 1280, 1024}, {0, 464, 700, 380}},
        {"below, kept on the screen horizontally",
         {700, 0, 700, 460},
         {0, 0, 1300, 1024},
         {600, 464, 700, 380}},
        {"beside at the owner's top, moved up to stay on the screen",
         {0, 800, 700, 460},
         {0, 0, 1920, 1080},
         {704, 700, 700, 380}},
        {"shrunk into the wider side", {330, 0, 700, 460}, {0, 0, 1366, 600}, {1034, 0, 332, 380}},
        {"shrunk into the room below", {300, 0, 700, 460}, {0, 0, 1100, 768}, {300, 464, 700, 304}},
        {"shrunk below rather than beside, where that leaves more of it",
         {284, 295, 711, 433},
         {0, 0, 1280, 1024},
         {284, 732, 700, 292}},
        {"no room anywhere: the screen's bottom right",
         {0, 0, 1000, 700},
         {0, 0, 1024, 768},
         {324, 388, 700, 380}},
        {"a screen that does not start at 0",
         {1920, 0, 700, 460},
         {1920, 0, 1920, 1080},
         {2624, 0, 700, 380}},
    };
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Box placed = placeBeside({c.owner, c.screen, 700, 380, 300, 150, 4});
        EXPECT_EQ(placed, c.expected)
            << placed.x << "," << placed.y << " " << placed.width << "x" << placed.height;
    }
}

} // namespace
} // namespace tavrel

// When the status bar's clock ticks next.
#include "ui/status_clock.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

using namespace std::chrono_literals;

TEST(StatusClock, TicksOnlyForARunningTimeOrCountsThatWait) {
    struct Case {
        bool connected;
        bool countsCurrent;
        std::chrono::milliseconds countsDueIn;
        std::optional<std::chrono::milliseconds> next;
    };
    const Case cases[]{
        {false, true, 4000ms, 1000ms}, // "Reconnecting for ..." runs: every second
        {false, false, 0ms, 1000ms},
        {true, true, 4000ms, std::nullopt}, // "Connected since ..." stands still
        {true, false, 3200ms, 3200ms},      // new counts wait for the bar's period
        {true, false, -20ms, 0ms},          // overdue: at once
    };
    for (const Case& c : cases)
        EXPECT_EQ(nextStatusTick(c.connected, c.countsCurrent, c.countsDueIn), c.next)
            << c.connected << c.countsCurrent << c.countsDueIn.count();
}

} // namespace
} // namespace tavrel

// The fleet's timer schedule: deadlines come out in order, restarting replaces, stopping one owner spares the
// others.
#include "platform/timer_schedule.h"

#include <vector>

#include <gtest/gtest.h>

namespace tavrel {
namespace {

using namespace std::chrono_literals;
using Key = TimerSchedule::Key;

std::vector<Key> takeAll(TimerSchedule& schedule, TimerSchedule::Clock::time_point now) {
    std::vector<Key> keys;
    while (const auto key = schedule.takeDue(now))
        keys.push_back(*key);
    return keys;
}

TEST(TimerSchedule, DueKeysComeOutInDeadlineOrderAndOnlyWhenDue) {
    TimerSchedule schedule;
    const TimerSchedule::Clock::time_point t0{};
    schedule.start({1, 100}, t0 + 5s);
    schedule.start({2, 102}, t0 + 2s);
    schedule.start({1, 101}, t0 + 1s);
    EXPECT_EQ(schedule.nextDue(), t0 + 1s);
    EXPECT_TRUE(takeAll(schedule, t0 + 999ms).empty());
    EXPECT_EQ(takeAll(schedule, t0 + 2s), (std::vector<Key>{{1, 101}, {2, 102}}));
    EXPECT_EQ(schedule.nextDue(), t0 + 5s);
    EXPECT_EQ(takeAll(schedule, t0 + 10s), (std::vector<Key>{{1, 100}}));
    EXPECT_FALSE(schedule.nextDue());
}

TEST(TimerSchedule, RestartReplacesAndStopsAreExact) {
    TimerSchedule schedule;
    const TimerSchedule::Clock::time_point t0{};
    schedule.start({1, 100}, t0 + 1s);
    schedule.start({1, 100}, t0 + 3s); // restarted: the first deadline is gone
    schedule.start({1, 101}, t0 + 2s);
    schedule.start({2, 100}, t0 + 2s);
    schedule.start({3, 100}, t0 + 2s);
    EXPECT_EQ(schedule.size(), 4u);
    EXPECT_EQ(schedule.due({1, 100}), t0 + 3s);

    schedule.stop({3, 100});
    schedule.stop({3, 100}); // twice is harmless
    schedule.stopAll(1);
    EXPECT_FALSE(schedule.active({1, 100}));
    EXPECT_FALSE(schedule.active({1, 101}));
    EXPECT_EQ(takeAll(schedule, t0 + 10s), (std::vector<Key>{{2, 100}}));
    EXPECT_EQ(schedule.size(), 0u);
}

} // namespace
} // namespace tavrel

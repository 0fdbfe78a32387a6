// Alarm transitions from successive reports across connections, and their texts.
#include "session/alarm_transitions.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tavrel {
namespace {

using namespace std::chrono_literals;

// One step of a run: a connection, or a report of the given bits so many seconds into the run, with the
// lines it must make.
struct Step {
    enum { Connect, Report } what;
    std::int32_t bits = 0;
    int second = 0;
    std::vector<std::string> lines{};
};

TEST(AlarmTracker, ReportsAcrossConnectionsMakeTheExpectedLines) {
    constexpr std::int32_t rxPll = 0x04;
    constexpr std::int32_t vswr = 0x01;
    const std::vector<Step> run = {
        {Step::Connect},
        {Step::Report, rxPll, 0, {"ALARM Rx PLL active"}}, // stated, not called a change
        {Step::Report, rxPll, 2},                          // repeated: nothing
        {Step::Report, rxPll | vswr, 4, {"ALARM V-SWR raised"}},
        {Step::Report, vswr, 192, {"ALARM Rx PLL cleared after 00:03:12"}},
        {Step::Connect}, // the link was down meanwhile: nothing is cleared by that
        {Step::Report, rxPll, 400, {"ALARM V-SWR cleared after 00:06:36", "ALARM Rx PLL active"}},
        {Step::Report, 0, 400 + 90061, {"ALARM Rx PLL cleared after 25:01:01"}},
        {Step::Connect},
        {Step::Report, 0, 90500}, // nothing was on: nothing to state
    };
    AlarmTracker tracker;
    const WallClock::time_point start = WallClock::time_point{} + 1000000s;
    for (std::size_t i = 0; i < run.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        if (run[i].what == Step::Connect) {
            tracker.onConnected();
            continue;
        }
        std::vector<std::string> lines;
        for (const auto& transition :
             tracker.onReport(run[i].bits, start + std::chrono::seconds(run[i].second)))
            lines.push_back(formatAlarmTransition(transition));
        EXPECT_EQ(lines, run[i].lines);
    }
    // Rx PLL came on twice (found active at first, then again after being cleared), V-SWR once.
    EXPECT_EQ(tracker.raisedCount(2), 2u);
    EXPECT_EQ(tracker.raisedCount(0), 1u);
    EXPECT_EQ(tracker.raisedCount(1), 0u);
    EXPECT_FALSE(tracker.active(2));
    EXPECT_EQ(tracker.lastChange(2), start + 90461s);
}

TEST(AlarmTracker, AClockSetBackGivesNoNegativeDuration) {
    AlarmTracker tracker;
    const WallClock::time_point t{std::chrono::hours(1000)};
    tracker.onReport(0x10, t);
    const auto transitions = tracker.onReport(0, t - 1h);
    ASSERT_EQ(transitions.size(), 1u);
    EXPECT_EQ(formatAlarmTransition(transitions[0]), "ALARM DC Volt cleared after 00:00:00");
}

} // namespace
} // namespace tavrel

// The run's status line through the monitoring rules: link state and since when, and what was taken.
#include "session/monitor_rules.h"

#include <gtest/gtest.h>

#include "tests/session/utc_zone.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;

class NoActions : public MonitorActions {
    void sendHeartbeat() override {}
    void sendAlarmQuery() override {}
    void sendLogDestination() override {}
    void startReceivers() override {}
    void startTimer(int) override {}
    void stopTimer(int) override {}
    void reportEvent(std::string_view) override {}
    void reportConnection(bool) override {}
};

TEST(RunStatus, FollowsTheLinkAndCountsWhatArrives) {
    test::UtcZone utc;
    WallClock::time_point now = std::chrono::sys_days{std::chrono::year{2026} / 12 / 9} + 14h + 2min;
    NoActions actions;
    MonitorRules rules(actions, [&] { return now; });

    now += 5s;
    EXPECT_EQ(formatLinkStatus(rules.status(), now), "Connecting for 00:00:05");
    now += 6s;
    rules.onConnected();
    now += 1h;
    EXPECT_EQ(formatLinkStatus(rules.status(), now), "Connected since 14:02:11");
    rules.onRepeaterLog();
    rules.onRepeaterLog();
    rules.onAirLogRecord();
    rules.onDisconnected();
    now += 41s;
    EXPECT_EQ(formatLinkStatus(rules.status(), now), "Reconnecting for 00:00:41");
    EXPECT_EQ(rules.status().since(), now - 41s);
    EXPECT_EQ(formatRunCounts(rules.status()), "Log lines: 2  Air records: 1");
    rules.onConnected();
    EXPECT_EQ(formatLinkStatus(rules.status(), now), "Connected since 15:02:52");
}

} // namespace
} // namespace tavrel

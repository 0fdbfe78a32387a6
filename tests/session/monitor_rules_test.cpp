// The monitoring rules without any I/O: what each event asks of the front end, in order.
#include "session/monitor_rules.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "session/session_timers.h"

namespace tavrel {
namespace {

// Records every request as one word, in order.
class RecordedActions : public MonitorActions {
public:
    std::vector<std::string> take() { return std::exchange(m_done, {}); }

    void sendHeartbeat() override { m_done.push_back("heartbeat"); }
    void sendAlarmQuery() override { m_done.push_back("alarmquery"); }
    void sendLogDestination() override { m_done.push_back("setlogdst"); }
    void startReceivers() override { m_done.push_back("receivers"); }
    void startTimer(int id) override { m_done.push_back("start" + std::to_string(id)); }
    void stopTimer(int id) override { m_done.push_back("stop" + std::to_string(id)); }
    void reportEvent(std::string_view text) override { m_done.push_back("event:" + std::string(text)); }
    void reportConnection(bool connected) override { m_done.push_back(connected ? "up" : "down"); }
    void reportLamps() override { m_done.push_back("lamps"); }

private:
    std::vector<std::string> m_done;
};

using Steps = std::vector<std::string>;

TEST(MonitorRules, ConnectionsAndTimersAskForTheirStepsInOrder) {
    RecordedActions actions;
    MonitorRules rules(actions);

    rules.onConnected();
    EXPECT_EQ(actions.take(), (Steps{"event:Repeter connected", "heartbeat", "start100", "receivers",
                                     "start101", "lamps", "start102", "start103", "up"}));
    rules.onTimer(timer::kLogDestination);
    rules.onRepeaterLog();
    rules.onTimer(timer::kAlarmQuery);
    rules.onTimer(timer::kHeartbeat);
    rules.onTimer(timer::kLampPaint); // no alarm: no lamp changes
    rules.onTimer(99);
    EXPECT_EQ(actions.take(), (Steps{"setlogdst", "stop101", "alarmquery", "heartbeat"}));

    rules.onDisconnected();
    EXPECT_EQ(actions.take(), (Steps{"event:Repeter disconnected", "stop100", "stop101", "stop102", "stop103",
                                     "lamps", "down"}));
    // A heartbeat tick that was already due stops its timer instead of sending.
    rules.onTimer(timer::kHeartbeat);
    EXPECT_EQ(actions.take(), (Steps{"stop100"}));

    // The receivers start once per run, whatever the reconnections.
    rules.onConnected();
    const Steps again = actions.take();
    EXPECT_EQ(std::count(again.begin(), again.end(), "receivers"), 0);
    EXPECT_EQ(std::count(again.begin(), again.end(), "start101"), 1) << "SETLOGDST repeats again";
}

TEST(MonitorRules, AlarmReportsAndAutoPollingDriveTheLamps) {
    RecordedActions actions;
    MonitorRules rules(actions);
    rules.onConnected();
    actions.take();

    rules.onOmData("noise without a report");
    rules.onOmData("ALARMSTATE:0"); // nothing was alarmed: no picture changes
    EXPECT_EQ(actions.take(), Steps{});

    rules.onOmData("ALARMSTATE:4"); // set alarms wait for the paint tick; the change is told at once
    EXPECT_EQ(actions.take(), Steps{"event:ALARM Rx PLL raised"});
    rules.onTimer(timer::kLampPaint);
    EXPECT_EQ(rules.lamps().icon(2), LampIcon::AlarmB);
    rules.onTimer(timer::kLampPaint);
    EXPECT_EQ(rules.lamps().icon(2), LampIcon::AlarmA);
    EXPECT_EQ(actions.take(), (Steps{"lamps", "lamps"}));

    rules.setAutoPolling(false);
    rules.onTimer(timer::kAlarmQuery); // no query while not automatic
    rules.onTimer(timer::kLampPaint);
    rules.onTimer(timer::kLampPaint); // steady red
    EXPECT_EQ(rules.lamps().icon(2), LampIcon::AlarmB);
    EXPECT_EQ(actions.take(), (Steps{"lamps"}));

    rules.onOmData("ALARMSTATE:0"); // a cleared alarm is Normal at once
    EXPECT_EQ(rules.lamps().icon(2), LampIcon::Normal);
    EXPECT_EQ(actions.take(), (Steps{"event:ALARM Rx PLL cleared after 00:00:00", "lamps"}));
}

} // namespace
} // namespace tavrel

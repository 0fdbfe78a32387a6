// The monitoring rules without any I/O: what is sent, which timers run and what is told, event by event.
#include "session/monitor_rules.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "session/session_timers.h"

namespace tavrel {
namespace {

// Keeps what the rules asked for as state: sends and reports in order, the timers that run now.
class RecordedActions : public MonitorActions {
public:
    std::vector<std::string> take() { return std::exchange(m_done, {}); }
    const std::set<int>& running() const { return m_running; }
    // The timers that ran when the connection was told.
    const std::set<int>& runningWhenTold() const { return m_runningWhenTold; }

    void sendHeartbeat() override { m_done.push_back("heartbeat"); }
    void sendAlarmQuery() override { m_done.push_back("alarmquery"); }
    void sendLogDestination() override { m_done.push_back("setlogdst"); }
    void sendAirLogOn() override { m_done.push_back("ailogon"); }
    void startReceivers() override { m_done.push_back("receivers"); }
    void startTimer(int id) override { m_running.insert(id); }
    void stopTimer(int id) override { m_running.erase(id); }
    void reportEvent(std::string_view text) override { m_done.push_back("event:" + std::string(text)); }
    void reportConnection(bool connected) override {
        m_runningWhenTold = m_running;
        m_done.push_back(connected ? "up" : "down");
    }
    void reportAlarmTransition(const AlarmTransition& t) override {
        m_done.push_back(t.kind == AlarmTransition::Kind::Cleared ? "gone" : "raised");
    }
    void reportAlarmState(std::int32_t bits) override { m_done.push_back("state:" + std::to_string(bits)); }

private:
    std::vector<std::string> m_done;
    std::set<int> m_running;
    std::set<int> m_runningWhenTold;
};

using Steps = std::vector<std::string>;
using Timers = std::set<int>;

TEST(MonitorRules, ALiveLinkIsCheckedAndAnnouncedAndADeadOneRestsUntilItsReturn) {
    RecordedActions actions;
    MonitorRules rules(actions);

    rules.onConnected();
    // Heartbeat at once, the receivers (which announce themselves), the front end told last with every
    // timer already running.
    EXPECT_EQ(actions.take(), (Steps{"event:Repeter connected", "heartbeat", "receivers", "up"}));
    const Timers all{timer::kHeartbeat, timer::kLogDestination, timer::kAlarmQuery};
    EXPECT_EQ(actions.running(), all);
    EXPECT_EQ(actions.runningWhenTold(), all);

    // Each tick does its one thing; SETLOGDST repeats only until the first log datagram.
    const std::vector<std::pair<int, Steps>> ticks{{timer::kHeartbeat, {"heartbeat"}},
                                                   {timer::kLogDestination, {"setlogdst"}},
                                                   {timer::kAlarmQuery, {"alarmquery"}},
                                                   {timer::kLampPaint, {}},
                                                   {99, {}}};
    for (const auto& [id, steps] : ticks) {
        rules.onTimer(id);
        EXPECT_EQ(actions.take(), steps) << "timer " << id;
    }
    rules.onRepeaterLog();
    EXPECT_EQ(actions.running(), (Timers{timer::kHeartbeat, timer::kAlarmQuery}));
    rules.setAutoPolling(false);
    rules.onTimer(timer::kAlarmQuery);
    EXPECT_EQ(actions.take(), Steps{}) << "no query while not automatic";

    rules.onDisconnected();
    EXPECT_EQ(actions.take(), (Steps{"event:Repeter disconnected", "down"}));
    EXPECT_EQ(actions.running(), Timers{});
    EXPECT_EQ(actions.runningWhenTold(), Timers{});
    rules.onTimer(timer::kHeartbeat); // a tick that was already due sends nothing
    EXPECT_EQ(actions.take(), Steps{});
    EXPECT_EQ(actions.running(), Timers{});

    // The receivers start once per run; the SETLOGDST repeats start again with every connection.
    rules.onConnected();
    EXPECT_EQ(actions.take(), (Steps{"event:Repeter connected", "heartbeat", "up"}));
    EXPECT_EQ(actions.running(), all);
}

TEST(MonitorRules, AirLogIsAskedForOnEveryConnectOnlyWhenSetSo) {
    for (const bool onConnect : {false, true}) {
        RecordedActions actions;
        MonitorRules rules(actions);
        rules.setAirLogOnConnect(onConnect);
        for (int connection = 0; connection < 2; ++connection) {
            rules.onConnected();
            const Steps steps = actions.take();
            EXPECT_EQ(std::count(steps.begin(), steps.end(), "ailogon"), onConnect ? 1 : 0);
            EXPECT_EQ(steps.back(), "up") << "asked before the front end hears of the link";
            rules.onDisconnected();
        }
    }
}

TEST(MonitorRules, EveryAlarmReportToldAsTransitionsThenState) {
    RecordedActions actions;
    MonitorRules rules(actions);
    rules.onConnected();
    actions.take();

    const std::vector<std::pair<std::string, Steps>> chunks{
        {"noise without a report", {}},
        {"ALARMSTATE:0", {"state:0"}},
        {"xxALARMSTATE:4yy", {"event:ALARM Rx PLL raised", "raised", "state:4"}},
        {"ALARMSTATE:4", {"state:4"}},
        {"ALARMSTATE:0", {"event:ALARM Rx PLL cleared after 00:00:00", "gone", "state:0"}},
    };
    for (const auto& [chunk, steps] : chunks) {
        rules.onOmData(chunk);
        EXPECT_EQ(actions.take(), steps) << chunk;
    }
    EXPECT_FALSE(rules.alarms().active(2));
    EXPECT_EQ(rules.alarmHistory().added(), 2u);
}

} // namespace
} // namespace tavrel

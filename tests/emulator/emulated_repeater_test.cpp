// The emulated repeater without sockets: a recording carrier and a stepped clock drive the rules that both
// modes share (alarm script, drop-after, refusing, reboot, power switch, paced logs, quiet gap).
#include "emulator/emulated_repeater.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tavrel::emulator {
namespace {

using namespace std::chrono_literals;
using Clock = EmulatedRepeater::Clock;

const std::string kSetLog = "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.0.1,4000";

// Records what the repeater asks its carrier for, as "listen", "close", "reply ALARMSTATE:4",
// "log <text>" or "air <size>".
class RecordingCarrier : public RepeaterOutput {
public:
    std::string listen() override {
        calls.push_back("listen");
        return portTaken ? "cannot listen" : "";
    }
    void stopListening() override { calls.push_back("stop listening"); }
    bool reply(std::string_view text) override { return calls.push_back("reply " + std::string(text)), true; }
    void closeConnection() override { calls.push_back("close"); }
    bool sendDatagram(const Endpoint& destination, std::span<const std::uint8_t> bytes) override {
        const std::string text(bytes.begin(), bytes.end());
        calls.push_back(destination.port == 4000 ? "log " + text : "air " + std::to_string(bytes.size()));
        return true;
    }
    void received(const std::string&) override {}
    void say(std::string_view text) override { console.emplace_back(text); }

    // The calls since the last look, and forgets them.
    std::vector<std::string> take() { return std::exchange(calls, {}); }
    long count(std::string_view prefix) const {
        return std::count_if(calls.begin(), calls.end(),
                             [&](const std::string& c) { return c.starts_with(prefix); });
    }

    std::vector<std::string> calls;
    std::vector<std::string> console;
    bool portTaken = false;
};

// A repeater powered on at t0 with a console, and a clock the test steps through its deadlines.
struct Rig {
    explicit Rig(EmulatorOptions options = {}) : repeater(withConsole(std::move(options)), carrier) {}

    static EmulatorOptions withConsole(EmulatorOptions options) {
        options.console = [](const std::string&) {};
        return options;
    }
    // Runs every deadline up to `until`, as the event loop does.
    void advanceTo(Clock::time_point until) {
        while (const auto next = repeater.nextDeadline()) {
            if (*next > until)
                break;
            now = std::max(now, *next);
            repeater.onTimer(now);
        }
        now = until;
    }
    void receive(const std::string& text) { repeater.onReceived(text, now); }
    // A whole command: received, then taken at the latest after the quiet gap.
    void command(const std::string& text) {
        receive(text);
        advanceTo(now + om::CommandSplitter::kQuietGap);
    }

    RecordingCarrier carrier;
    EmulatedRepeater repeater;
    const Clock::time_point t0{};
    Clock::time_point now = t0;
};

TEST(EmulatedRepeater, AlarmScriptStepsChangeTheAnsweredBitsAtTheirTimes) {
    EmulatorOptions options;
    options.alarmBits = 2;
    options.alarmScript = *AlarmScript::parse("0:4,1.5:1");
    Rig rig(options);
    ASSERT_TRUE(rig.repeater.powerOn(rig.t0));
    rig.repeater.onAccepted("monitor", rig.t0);
    rig.receive("TEST_CTRL_TO_CHCU:ALARMQUERY:");
    EXPECT_EQ(rig.repeater.nextDeadline(), rig.t0 + 1500ms) << "the next step wakes the idle repeater";
    rig.advanceTo(rig.t0 + 1499ms);
    rig.receive("TEST_CTRL_TO_CHCU:ALARMQUERY:");
    rig.advanceTo(rig.t0 + 1500ms);
    rig.receive("TEST_CTRL_TO_CHCU:ALARMQUERY:");
    EXPECT_EQ(rig.carrier.take(), (std::vector<std::string>{"listen", "reply ALARMSTATE:4",
                                                            "reply ALARMSTATE:4", "reply ALARMSTATE:1"}));
    EXPECT_EQ(rig.repeater.nextDeadline(), std::nullopt) << "the script has ended";

    // Switched off and on, the script does not start over.
    rig.repeater.powerOff();
    ASSERT_TRUE(rig.repeater.powerOn(rig.now));
    EXPECT_EQ(rig.repeater.alarmBits(), 1);
}

TEST(EmulatedRepeater, ConnectionsAreReplacedAndDroppedAfterTheirTime) {
    EmulatorOptions options;
    options.dropAfter = 2s;
    Rig rig(options);
    ASSERT_TRUE(rig.repeater.powerOn(rig.t0));
    rig.repeater.onAccepted("first", rig.t0);
    rig.now = rig.t0 + 1s;
    rig.repeater.onAccepted("second", rig.now);
    EXPECT_EQ(rig.carrier.take(), (std::vector<std::string>{"listen", "close"})) << "the first is closed";
    EXPECT_EQ(rig.repeater.nextDeadline(), rig.t0 + 3s) << "counted from the second's accept";
    rig.advanceTo(rig.t0 + 3s);
    EXPECT_EQ(rig.carrier.take(), (std::vector<std::string>{"close"}));
    EXPECT_FALSE(rig.repeater.connected());
    EXPECT_EQ(rig.repeater.connectionCount(), 2);
    EXPECT_EQ(rig.carrier.console.back(), "connection dropped after the --drop-after time (second)");
}

TEST(EmulatedRepeater, RebootClosesThePortThenListensAgainAndRetriesATakenPort) {
    EmulatorOptions options;
    options.rebootTime = 1s;
    options.quiet = true;
    Rig rig(options);
    ASSERT_TRUE(rig.repeater.powerOn(rig.t0));
    rig.repeater.onAccepted("monitor", rig.t0);
    rig.command(kSetLog);
    // The rest of the read is lost with the connection.
    rig.receive("TEST_CTRL_TO_CHCU:REBOOTREPEATER:TEST_CTRL_TO_CHCU:ALARMQUERY:");
    EXPECT_EQ(
        rig.carrier.take(),
        (std::vector<std::string>{"listen", "log LOG: on, destination 127.0.0.1:4000",
                                  "log SYSTEM: reboot requested, restarting", "stop listening", "close"}));
    EXPECT_FALSE(rig.repeater.model().logDestination());

    const auto rebooted = rig.now;
    rig.carrier.portTaken = true;
    rig.advanceTo(rebooted + 1s);
    EXPECT_EQ(rig.carrier.take(), (std::vector<std::string>{"listen"}));
    EXPECT_EQ(rig.repeater.nextDeadline(), rebooted + 1500ms);
    rig.carrier.portTaken = false;
    rig.advanceTo(rebooted + 1500ms);
    EXPECT_EQ(rig.carrier.take(), (std::vector<std::string>{"listen"}));
    EXPECT_TRUE(rig.repeater.listening());
}

TEST(EmulatedRepeater, RefusingRepeaterNeverListens) {
    EmulatorOptions options;
    options.refuse = true;
    options.rebootTime = 1s;
    Rig rig(options);
    ASSERT_TRUE(rig.repeater.powerOn(rig.t0));
    rig.repeater.reboot(rig.t0);
    rig.advanceTo(rig.t0 + 10s);
    EXPECT_EQ(rig.carrier.count("listen"), 0);
    EXPECT_FALSE(rig.repeater.listening());
}

TEST(EmulatedRepeater, SwitchedOffItForgetsItsDestinationsAndSendsNothing) {
    EmulatorOptions options;
    options.quiet = true;
    Rig rig(options);
    ASSERT_TRUE(rig.repeater.powerOn(rig.t0));
    rig.repeater.onAccepted("monitor", rig.t0);
    rig.command(kSetLog);
    rig.repeater.powerOff();
    EXPECT_FALSE(rig.repeater.sendLog("anything"));
    EXPECT_EQ(rig.repeater.nextDeadline(), std::nullopt);
    EXPECT_EQ(rig.carrier.take(),
              (std::vector<std::string>{"listen", "log LOG: on, destination 127.0.0.1:4000", "stop listening",
                                        "close"}));
    ASSERT_TRUE(rig.repeater.powerOn(rig.now));
    EXPECT_EQ(rig.carrier.take(), (std::vector<std::string>{"listen"}));
}

// How many of each timed datagram 10 s bring, with the switches a monitor may turn.
TEST(EmulatedRepeater, TimedLogsFollowTheirRatesAndSwitches) {
    struct Case {
        const char* name;
        bool quiet;
        double logRate;
        double airRate;
        std::vector<std::string> commands;
        long alive, dsp, dspLink, numbered, air;
    };
    const std::string airOn = "TEST_CTRL_TO_CHCU:AILOGON:127.0.0.1,5000";
    const Case cases[] = {
        {"status line every second", false, 0, 66.7, {kSetLog}, 10, 0, 0, 0, 0},
        {"quiet", true, 0, 66.7, {kSetLog}, 0, 0, 0, 0, 0},
        {"no destination, nothing", false, 50, 66.7, {}, 0, 0, 0, 0, 0},
        {"numbered lines", true, 50, 66.7, {kSetLog}, 0, 0, 0, 500, 0},
        {"DSP logs on",
         true,
         0,
         66.7,
         {kSetLog, "TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON", "TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:ON"},
         0,
         10,
         20,
         0,
         0},
        {"DSP log on and off",
         true,
         0,
         66.7,
         {kSetLog, "TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON", "TEST_CTRL_TO_CHCU:CTRLDSPLOG:OFF"},
         0,
         0,
         0,
         0,
         0},
        {"air records", true, 0, 20, {airOn}, 0, 0, 0, 0, 200},
        {"air records off", true, 0, 20, {airOn, "TEST_CTRL_TO_CHCU:AILOGOFF"}, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmulatorOptions options;
        options.quiet = c.quiet;
        options.logLinesPerSecond = c.logRate;
        options.airRecordsPerSecond = c.airRate;
        Rig rig(options);
        ASSERT_TRUE(rig.repeater.powerOn(rig.t0));
        rig.repeater.onAccepted("monitor", rig.t0);
        // One read, ended by a complete command, so that every switch is turned at t0.
        std::string read;
        for (const std::string& command : c.commands)
            read += command;
        rig.receive(read + "TEST_CTRL_TO_CHCU:ALARMQUERY:");
        rig.carrier.take();
        rig.advanceTo(rig.t0 + 9999ms);
        EXPECT_EQ(rig.carrier.count("log ALIVE "), c.alive);
        EXPECT_EQ(rig.carrier.count("log DSP: ts1 "), c.dsp);
        EXPECT_EQ(rig.carrier.count("log DSPLINK: tx="), c.dspLink);
        EXPECT_EQ(rig.carrier.count("log SEQ "), c.numbered);
        EXPECT_EQ(rig.carrier.count("air "), c.air);
    }
}

TEST(EmulatedRepeater, TextThatMayStillGrowIsTakenAfterTheQuietGap) {
    Rig rig;
    ASSERT_TRUE(rig.repeater.powerOn(rig.t0));
    rig.repeater.onAccepted("monitor", rig.t0);
    rig.receive("TEST_CTRL_TO_CHCU:SWICHCHNL:1");
    EXPECT_EQ(rig.repeater.nextDeadline(), rig.t0 + om::CommandSplitter::kQuietGap);
    rig.advanceTo(rig.t0 + om::CommandSplitter::kQuietGap - 1ms);
    rig.receive("2");
    rig.advanceTo(rig.t0 + 200ms);
    EXPECT_EQ(rig.repeater.model().channel(), 12);
    EXPECT_EQ(rig.repeater.counters().commandsReceived, 1u);
}

} // namespace
} // namespace tavrel::emulator

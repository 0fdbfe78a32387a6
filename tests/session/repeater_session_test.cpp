// Whole sessions without a window, against emulated repeaters on loopback: two side by side in one process
// each see and file only their own repeater.
#include "session/repeater_session.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "emulator/repeater_emulator.h"
#include "tests/session/temp_dir.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;

// Runs the thread's event loop (where the sessions handle their notifications) until the condition holds.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class LineRecorder : public SessionListener {
public:
    void onEventLine(std::string_view line) override { lines.emplace_back(line); }
    void onConnectionChanged(bool connected) override { changes.push_back(connected); }
    std::vector<std::string> lines;
    std::vector<bool> changes;
};

// One emulated repeater on 127.0.0.<n> and a session watching it, receiving on 127.0.0.<100 + n>.
struct Watched {
    Watched(int n, const std::string& logDirectory) {
        emulator::EmulatorOptions options;
        options.address = "127.0.0." + std::to_string(n);
        options.quiet = true;
        options.airRecordsPerSecond = 0;
        repeater = std::make_unique<emulator::RepeaterEmulator>(options);
        MonitorSettings settings{"127.0.0." + std::to_string(100 + n), 44320, 45320, options.address};
        session = std::make_unique<RepeaterSession>(settings, logDirectory);
        session->addListener(recorder);
    }
    ~Watched() {
        session.reset(); // off the hub and its tasks joined before the repeater goes
        repeater->stop();
    }

    std::unique_ptr<emulator::RepeaterEmulator> repeater;
    std::unique_ptr<RepeaterSession> session;
    LineRecorder recorder;
};

TEST(RepeaterSession, TwoSessionsSideBySideSeeAndFileOnlyTheirOwnRepeater) {
    test::TempExeDir dir;
    Watched north(2, dir.logDir().string());
    Watched south(3, dir.logDir().string());
    for (Watched* w : {&north, &south}) {
        ASSERT_TRUE(w->repeater->start());
        ASSERT_TRUE(w->repeater->waitForListening(5s));
        ASSERT_EQ(w->session->start(), std::nullopt);
    }
    ASSERT_TRUE(waitUntil([&] { return north.session->connected() && south.session->connected(); }));

    // Each announces its own receiver once, right after the heartbeat.
    ASSERT_TRUE(north.repeater->waitForCommand("TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.0.102,44320", 5s));
    ASSERT_TRUE(south.repeater->waitForCommand("TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.0.103,44320", 5s));
    const auto commands = north.repeater->receivedCommands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[0], "TEST_CHCU_TO_OAM:HEARTBEAT;");
    EXPECT_EQ(commands[1], "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.0.102,44320");

    ASSERT_TRUE(north.repeater->sendLog("north says hello"));
    ASSERT_TRUE(south.repeater->sendLog("south says hello"));
    const auto hasLine = [](const Watched& w, const std::string& text) {
        return test::readFile(w.session->runFiles().runLogPath()).find(">> " + text + "\n") !=
               std::string::npos;
    };
    ASSERT_TRUE(
        waitUntil([&] { return hasLine(north, "north says hello") && hasLine(south, "south says hello"); }));
    EXPECT_FALSE(north.session->timerActive(timer::kLogDestination)) << "the first datagram ends the repeats";

    const std::string northLog = test::readFile(north.session->runFiles().runLogPath());
    const std::string southLog = test::readFile(south.session->runFiles().runLogPath());
    EXPECT_NE(northLog, southLog);
    EXPECT_EQ(northLog.find("south"), std::string::npos);
    EXPECT_EQ(southLog.find("north"), std::string::npos);
    EXPECT_NE(northLog.find("This is the logging information file of the repeater[127.0.0.2]."),
              std::string::npos);
    EXPECT_NE(southLog.find("This is the logging information file of the repeater[127.0.0.3]."),
              std::string::npos);

    // What the listeners were told is what was filed, line for line.
    std::string told;
    for (const auto& line : north.recorder.lines)
        told += line + "\n";
    EXPECT_NE(northLog.find(told), std::string::npos);
    EXPECT_EQ(north.recorder.changes, std::vector<bool>{true});

    // A lost repeater is told to its own session only.
    south.repeater->stop();
    ASSERT_TRUE(waitUntil([&] { return !south.session->connected(); }));
    EXPECT_TRUE(north.session->connected());
    EXPECT_EQ(south.recorder.changes, (std::vector<bool>{true, false}));
}

TEST(RepeaterSession, StopEndsTheRunAndNothingIsHandledAfterIt) {
    test::TempExeDir dir;
    Watched watched(4, dir.logDir().string());
    ASSERT_TRUE(watched.repeater->start());
    ASSERT_TRUE(watched.repeater->waitForListening(5s));
    ASSERT_EQ(watched.session->start(), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return watched.session->connected(); }));

    watched.session->stop();
    for (int id = timer::kFirst; id < timer::kFirst + timer::kCount; ++id)
        EXPECT_FALSE(watched.session->timerActive(id));
    const std::size_t lines = watched.recorder.lines.size();
    watched.repeater->sendLog("after the stop");
    waitUntil([] { return false; }, 200ms);
    EXPECT_EQ(watched.recorder.lines.size(), lines);
}

} // namespace
} // namespace tavrel

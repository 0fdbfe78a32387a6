// Whole sessions without a window, against emulated repeaters on loopback: two side by side in one process
// each see and file only their own repeater; run files that stop taking lines are told of once.
#include "session/repeater_session.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

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
        ASSERT_TRUE(w->session->start().empty());
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
    ASSERT_TRUE(watched.session->start().empty());
    ASSERT_TRUE(waitUntil([&] { return watched.session->connected(); }));

    watched.session->stop();
    for (int id = timer::kFirst; id < timer::kFirst + timer::kCount; ++id)
        EXPECT_FALSE(watched.session->timerActive(id));
    const std::size_t lines = watched.recorder.lines.size();
    watched.repeater->sendLog("after the stop");
    waitUntil([] { return false; }, 200ms);
    EXPECT_EQ(watched.recorder.lines.size(), lines);
}

// A handler may open a modal dialog, which runs an event loop of its own while its sender waits.
// Notifications from the other tasks are handled inside that loop: their senders wait too.
TEST(RepeaterSession, NotificationsAreHandledInsideAHandlersModalLoop) {
    test::TempExeDir dir;
    SessionOptions options;
    options.startLink = [](std::string_view) { return 0; };
    RepeaterSession session({"127.0.0.105", 44320, 45320, "127.0.0.5"}, dir.logDir().string(), options);
    struct ModalOnFirst : SessionListener {
        void onEventLine(std::string_view line) override {
            if (line.ends_with("second")) {
                secondInsideTheLoop = inLoop.load();
                secondSeen = true;
                loop.quit();
            }
            if (!line.ends_with("first"))
                return;
            QTimer::singleShot(5s, &loop, &QEventLoop::quit);
            inLoop = true;
            loop.exec();
            inLoop = false;
        }
        QEventLoop loop;
        std::atomic<bool> inLoop = false;
        bool secondInsideTheLoop = false;
        bool secondSeen = false;
    } listener;
    session.addListener(listener);
    ASSERT_TRUE(session.start().empty());

    std::thread link([&] { session.hub().postStatusText("first"); });
    std::thread receiver([&] {
        for (auto until = std::chrono::steady_clock::now() + 5s;
             !listener.inLoop && std::chrono::steady_clock::now() < until;)
            std::this_thread::sleep_for(1ms);
        session.hub().postStatusText("second");
    });
    EXPECT_TRUE(waitUntil([&] { return listener.secondSeen; }));
    receiver.join();
    link.join();
    EXPECT_TRUE(listener.secondInsideTheLoop);
    session.removeListener(listener);
}

// Caps the size of every file this process writes, as a full disk would stop them growing, until lifted.
// A write past the cap fails with EFBIG (SIGXFSZ is ignored meanwhile); no privilege is needed.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) : m_handlerBefore(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        const rlimit cap{bytes, m_before.rlim_max};
        m_capped = ::setrlimit(RLIMIT_FSIZE, &cap) == 0;
    }
    ~FileSizeCap() { lift(); }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;

    bool capped() const { return m_capped; }
    void lift() {
        if (m_lifted)
            return;
        m_lifted = true;
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_handlerBefore);
    }

private:
    void (*m_handlerBefore)(int);
    rlimit m_before{};
    bool m_capped = false;
    bool m_lifted = false;
};

Payload downlinkRecord(int number) {
    Payload record(44, 0);
    record[4] = static_cast<char>(number);
    record[5] = 0x0A;
    return record;
}

TEST(RepeaterSession, FilesThatStopTakingLinesAreToldOnceAndAgainWhenTheyTakeThemAgain) {
    test::TempExeDir dir;
    SessionOptions options;
    options.startLink = [](std::string_view) { return 0; };
    options.clock = [] { return StampedTime{2016, 8, 3, 23, 59, 59}; };
    RepeaterSession session({"127.0.0.105", 44320, 45320, "127.0.0.5"}, dir.logDir().string(), options);
    LineRecorder recorder;
    session.addListener(recorder);
    const std::string runLog = session.runFiles().runLogPath();
    const std::string downlink = session.runFiles().downlinkDataPath();

    ASSERT_TRUE(session.start().empty());
    ASSERT_EQ(recorder.lines.size(), 2u);
    EXPECT_EQ(recorder.lines[1], "20160803 235959>> Run log: " + dir.logDir().string() +
                                     "/repeater[127.0.0.5]_20160803235959.log");
    EXPECT_NE(test::readFile(runLog).find("\n\n" + recorder.lines[1] + "\n"), std::string::npos);

    // Room for three more lines of 35 bytes in the run log and three records of 126 bytes in the data
    // file; the fourth of each goes in only in part, and then the disk is full.
    const auto runLogSize = std::filesystem::file_size(runLog);
    ASSERT_GT(runLogSize, 3 * 126u - 3 * 35u);
    const auto room = runLogSize + 3 * 35 + 20;
    FileSizeCap cap(room);
    if (!cap.capped())
        GTEST_SKIP() << "RLIMIT_FSIZE cannot be set here";
    const auto deliver = [&session](NotifyKind kind, Payload payload) {
        session.handleNotification(Notification{kind, std::move(payload)});
    };
    for (int i = 10; i < 50; ++i) {
        const std::string text = "repeater line " + std::to_string(i);
        deliver(NotifyRepeaterLog, Payload(text.begin(), text.end()));
        deliver(NotifyAirLogRecord, downlinkRecord(i));
    }
    const auto told = [&recorder](const std::string& text) {
        return std::count(recorder.lines.begin(), recorder.lines.end(), "20160803 235959>> " + text);
    };
    const auto stoppedText = [](const std::string& path) {
        return "Cannot write " + path + ": File too large; lines are lost until it can be written again";
    };
    EXPECT_EQ(told(stoppedText(runLog)), 1);
    EXPECT_EQ(told(stoppedText(downlink)), 1);
    EXPECT_EQ(told("repeater line 49"), 1) << "the view still gets every line";
    const auto cannotWrite =
        std::count_if(recorder.lines.begin(), recorder.lines.end(),
                      [](const auto& line) { return line.find(">> Cannot write ") != std::string::npos; });
    EXPECT_EQ(cannotWrite, 2) << "once per file, not once per failed write";
    const std::string whileFull = test::readFile(runLog);
    EXPECT_EQ(whileFull.find("Cannot write"), std::string::npos);
    EXPECT_TRUE(
        whileFull.ends_with(">> Run log: " + runLog + "\n20160803 235959>> repeater line 10\n" +
                            "20160803 235959>> repeater line 11\n20160803 235959>> repeater line 12\n"))
        << "the fourth line did not go in whole and is taken off again";
    EXPECT_EQ(std::filesystem::file_size(downlink), 3 * 126u);

    // Space again: the run log says so before the next line, the data file after its next record.
    cap.lift();
    deliver(NotifyRepeaterLog, Payload{'a', 'f', 't', 'e', 'r'});
    deliver(NotifyAirLogRecord, downlinkRecord(40));
    const std::string tail = "20160803 235959>> " + runLog + " is written again\n" +
                             "20160803 235959>> after\n" + "20160803 235959>> " + downlink +
                             " is written again\n";
    EXPECT_EQ(test::readFile(runLog), whileFull + tail);
    std::string toldAtTheEnd;
    for (std::size_t i = recorder.lines.size() - 3; i < recorder.lines.size(); ++i)
        toldAtTheEnd += recorder.lines[i] + "\n";
    EXPECT_EQ(toldAtTheEnd, tail);
    std::string zeros;
    for (int i = 0; i < 38; ++i)
        zeros += " 00";
    EXPECT_TRUE(test::readFile(downlink).ends_with("\n00000028 0A" + zeros + "\n"));
}

} // namespace
} // namespace tavrel

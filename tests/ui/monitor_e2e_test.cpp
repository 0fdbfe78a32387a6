// The main window against the repeater emulator on loopback: connection, log, alarms, reboot, close.
#include <chrono>
#include <filesystem>

#include <QApplication>
#include <QListWidget>

#include "emulator/repeater_emulator.h"
#include "tests/ui/window_fixture.h"
#include "ui/air_log_dlg.h"
#include "ui/monitor_ids.h"
#include "ui/run_main_window.h"

namespace tavrel::test {
namespace {

using namespace std::chrono_literals;

class MonitorEndToEnd : public MonitorWindowTest {
protected:
    // The emulated repeater on 127.0.4.<n>, then a window linked to it for real.
    void startRepeater(int n, int alarmBits = 0, double airRecordsPerSecond = 0) {
        emulator::EmulatorOptions options;
        options.address = "127.0.4." + std::to_string(n);
        options.rebootTime = 1000ms;
        options.alarmBits = alarmBits;
        options.quiet = true;
        options.airRecordsPerSecond = airRecordsPerSecond;
        repeater = std::make_unique<emulator::RepeaterEmulator>(options);
        ASSERT_TRUE(repeater->start());
        ASSERT_TRUE(repeater->waitForListening(5s));
        openWithRealLink(n);
        ASSERT_TRUE(waitUntil([&] { return window->session().connected(); }));
        // The window is connected once the handshake is done; the repeater has the connection once it has
        // accepted it. A reboot in between would reset the connection before the repeater ever counted it.
        ASSERT_TRUE(repeater->waitForConnectionCount(1, 5s));
    }

    void TearDown() override {
        window.reset();
        session.reset(); // off the hub and its tasks joined before the repeater goes
        if (repeater)
            repeater->stop();
    }

    std::unique_ptr<emulator::RepeaterEmulator> repeater;
};

TEST_F(MonitorEndToEnd, ConnectsSendsTheHeartbeatAtOnceAndShowsTheRepeaterLog) {
    startRepeater(51);
    ASSERT_TRUE(repeater->waitForCommand("TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.4.151,44320", 5s));
    const auto commands = repeater->receivedCommands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.front(), "TEST_CHCU_TO_OAM:HEARTBEAT;");
    EXPECT_TRUE(window->session().timerActive(101));

    ASSERT_TRUE(repeater->sendLog("CHCU: hello from the repeater"));
    ASSERT_TRUE(waitUntil([&] { return viewText(*window).find(">> CHCU: hello") != std::string::npos; }));
    EXPECT_FALSE(window->session().timerActive(101)) << "the first log datagram stops the SETLOGDST repeats";
    EXPECT_NE(runLog().find(">> CHCU: hello from the repeater\n"), std::string::npos);
}

TEST_F(MonitorEndToEnd, AlarmBitsFromTheRepeaterReachTheLamps) {
    startRepeater(52, 0x05);
    window->session().onTimer(102); // the alarm query, as the 2 s timer sends it
    ASSERT_TRUE(waitUntil([&] { return window->lamps().alarmBits() == 0x05; }));
    window->onLampTick();
    EXPECT_EQ(window->lampIcon(0), LampIcon::AlarmB);
    EXPECT_EQ(window->lampIcon(1), LampIcon::Normal);
    EXPECT_EQ(window->lampIcon(2), LampIcon::AlarmB);
    EXPECT_EQ(window->lampIcon(3), LampIcon::Normal);
    EXPECT_EQ(window->lampIcon(4), LampIcon::Normal);

    repeater->setAlarmBits(0x01);
    window->session().onTimer(102);
    ASSERT_TRUE(waitUntil([&] { return window->lamps().alarmBits() == 0x01; }));
    EXPECT_EQ(window->lampIcon(2), LampIcon::Normal) << "a cleared alarm turns Normal at once";
}

TEST_F(MonitorEndToEnd, RebootGivesOneDisconnectionAndOneReconnection) {
    startRepeater(53);
    window->eventLog().clearView();
    repeater->reboot();
    ASSERT_TRUE(waitUntil([&] { return !window->session().connected(); }));
    for (int i = 0; i < kLampCount; ++i)
        EXPECT_EQ(window->lampIcon(i), LampIcon::Off);
    EXPECT_FALSE(window->session().timerActive(100));

    ASSERT_TRUE(waitUntil([&] { return window->session().connected(); }, 10000));
    for (int i = 0; i < kLampCount; ++i)
        EXPECT_EQ(window->lampIcon(i), LampIcon::Normal);
    EXPECT_TRUE(window->session().timerActive(100));
    ASSERT_TRUE(repeater->waitForConnectionCount(2, 5s));
    const std::string text = viewText(*window);
    EXPECT_EQ(occurrences(text, ">> Repeter disconnected\n"), 1u) << text;
    EXPECT_EQ(occurrences(text, ">> Repeter connected\n"), 1u) << text;
    EXPECT_LT(text.find("Repeter disconnected"), text.find("Repeter connected"));
}

TEST_F(MonitorEndToEnd, AirLoggingFillsBothListsAndBothDataFilesUntilSwitchedOff) {
    startRepeater(55, 0, emulator::kDmrAirRecordsPerSecond);
    window->onMenuCommand(command::kAirLogOn);
    ASSERT_TRUE(repeater->waitForCommand("TEST_CTRL_TO_CHCU:AILOGON:127.0.4.155,45320", 5s));
    EXPECT_TRUE(window->airLogDlg()->isVisible());

    const auto fileLines = [](const std::string& path) { return occurrences(readFile(path), "\n"); };
    ASSERT_TRUE(waitUntil([&] {
        window->airLogDlg()->showNewEntries();
        return window->airLogDlg()->downlinkList()->count() >= 4 &&
               window->airLogDlg()->uplinkList()->count() >= 4;
    }));
    EXPECT_GE(fileLines(window->session().runFiles().downlinkDataPath()), 4u);
    EXPECT_GE(fileLines(window->session().runFiles().uplinkDataPath()), 4u);
    // A full record files its 6 header bytes as two fields and then 38 payload bytes.
    const std::string downlink = readFile(window->session().runFiles().downlinkDataPath());
    const std::string firstLine = downlink.substr(0, downlink.find('\n'));
    EXPECT_EQ(firstLine.size(), 8 + 1 + 2 + 38 * 3) << firstLine;

    window->onMenuCommand(command::kAirLogOff);
    ASSERT_TRUE(repeater->waitForCommand("TEST_CTRL_TO_CHCU:AILOGOFF", 5s));
    EXPECT_FALSE(window->airLogDlg()->isVisible());
}

TEST_F(MonitorEndToEnd, ClosingWhileTheRepeaterIsUnreachableReturnsAtOnce) {
    MonitorSettings unreachable = settingsFor(54); // nothing listens on 127.0.4.54:2301
    std::chrono::steady_clock::time_point closedAt;
    QTimer::singleShot(300, [&] {
        QWidget* window = QApplication::activeModalWidget();
        ASSERT_NE(qobject_cast<CTavrelDlg*>(window), nullptr);
        closedAt = std::chrono::steady_clock::now();
        window->close();
    });
    EXPECT_EQ(runMainWindow(unreachable, exeDir.logDir().string()), 0);
    const auto closing = std::chrono::steady_clock::now() - closedAt;
    RecordProperty("closing_ms",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(closing).count()));
    EXPECT_LT(closing, 2s) << "the link and receivers stop without waiting for the repeater";
    // The run log was made in the log directory given, named with the real start time.
    int runLogs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(exeDir.logDir())) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("repeater[127.0.4.54]_") && name.ends_with(".log")) {
            ++runLogs;
            EXPECT_NE(readFile(entry.path().string()).find(">> The Velmont v1.0.0.7"), std::string::npos);
        }
    }
    EXPECT_EQ(runLogs, 1);
}

} // namespace
} // namespace tavrel::test

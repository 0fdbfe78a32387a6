// A hundred repeater reboots in a row against the real window: one disconnection and one reconnection each,
// the receivers started once, SETLOGDST only from its first start and its timer.
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/repeater_emulator.h"
#include "tests/faults/fault_window.h"
#include "ui/monitor_ids.h"

namespace tavrel::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kReboots = 100;
constexpr int kAddress = 10;

// One connection as the emulator's console told it: when it was accepted and the commands it carried.
struct ConnectionRecord {
    Clock::time_point acceptedAt;
    std::vector<std::pair<Clock::time_point, std::string>> commands;
};

class RebootStorm : public FaultWindowTest {
protected:
    void TearDown() override {
        window.reset();
        session.reset(); // off the hub and its tasks joined before the repeater goes
        if (repeater)
            repeater->stop();
    }

    void startRepeater() {
        emulator::EmulatorOptions options;
        options.address = faultSettings(kAddress).repeaterAddress;
        options.rebootTime = 30ms;
        options.quiet = true;
        options.airRecordsPerSecond = 0;
        options.console = [this](const std::string& line) { record(line); };
        repeater = std::make_unique<emulator::RepeaterEmulator>(options);
        ASSERT_TRUE(repeater->start());
        ASSERT_TRUE(repeater->waitForListening(5s));
    }

    // Runs on the emulator's thread: splits the console into connections and their received commands.
    void record(const std::string& line) {
        const auto at = Clock::now();
        const std::string_view text = std::string_view(line).substr(line.find(' ') + 1); // after the time
        std::lock_guard lock(m_consoleMutex);
        if (text.starts_with("connection from "))
            m_connections.push_back({at, {}});
        else if (text.starts_with("RX ") && !m_connections.empty())
            m_connections.back().commands.emplace_back(at, text.substr(3));
    }

    std::vector<ConnectionRecord> connections() {
        std::lock_guard lock(m_consoleMutex);
        return m_connections;
    }

    std::unique_ptr<emulator::RepeaterEmulator> repeater;

private:
    std::mutex m_consoleMutex;
    std::vector<ConnectionRecord> m_connections;
};

TEST_F(RebootStorm, HundredRebootsGiveHundredDisconnectionsAndReconnectionsAndOneReceiverStart) {
    startRepeater();
    openAt(faultSettings(kAddress), LinkStarter{});
    ASSERT_TRUE(waitUntil([&] { return window->session().connected(); }, 10000));
    const std::string setLogDestination = "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:" + settings.localAddress + "," +
                                          std::to_string(settings.monitorRxPort);
    ASSERT_TRUE(repeater->waitForCommand(setLogDestination, 5s));
    window->eventLog().clearView();

    const auto start = Clock::now();
    Clock::duration longestCycle{};
    for (int reboot = 1; reboot <= kReboots; ++reboot) {
        const auto cycleStart = Clock::now();
        // The repeater has taken the heartbeat of this connection before it goes down.
        ASSERT_TRUE(waitUntil([&] {
            const auto seen = connections();
            return seen.size() == static_cast<std::size_t>(reboot) && !seen.back().commands.empty();
        }));
        repeater->reboot();
        ASSERT_TRUE(waitUntil(
            [&] {
                return window->session().connected() &&
                       occurrences(viewText(*window), ">> Repeter connected\n") ==
                           static_cast<std::size_t>(reboot);
            },
            10000))
            << "reboot " << reboot << " was not followed by a reconnection";
        longestCycle = std::max(longestCycle, Clock::now() - cycleStart);
    }
    const auto storm = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    RecordProperty("hundred_reboots_ms", static_cast<int>(storm.count()));
    std::printf("%d reboots took %lld ms\n", kReboots, static_cast<long long>(storm.count()));
    RecordProperty(
        "longest_reboot_cycle_ms",
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(longestCycle).count()));

    const std::string view = viewText(*window);
    EXPECT_EQ(occurrences(view, ">> Repeter disconnected\n"), static_cast<std::size_t>(kReboots)) << view;
    EXPECT_EQ(occurrences(view, ">> Repeter connected\n"), static_cast<std::size_t>(kReboots));
    const std::string log = runLog();
    EXPECT_EQ(occurrences(log, ">> Repeter disconnected\n"), static_cast<std::size_t>(kReboots));
    EXPECT_EQ(occurrences(log, ">> Repeter connected\n"), static_cast<std::size_t>(kReboots + 1));
    // The window is connected once the handshake is done; the emulator counts the connection when its loop
    // accepts it, which on a busy machine can come a little later.
    EXPECT_TRUE(waitUntil([&] { return repeater->connectionCount() == kReboots + 1; }))
        << repeater->connectionCount();

    // The receivers were started once and kept running: no second bind, no quit.
    EXPECT_TRUE(window->session().receiversStarted());
    EXPECT_TRUE(session->logReceiver().running());
    EXPECT_TRUE(session->airLogReceiver().running());
    EXPECT_EQ(log.find("Fail to bind"), std::string::npos);
    EXPECT_EQ(log.find("receiving task quit"), std::string::npos);

    // Every connection opens with the heartbeat. After the first, SETLOGDST comes only from the 1 s repeat
    // timer, never within its period of the connection: a fresh start of the log receiver would send it at
    // once.
    // The last heartbeat is taken as a command once the emulator has seen the line go quiet.
    ASSERT_TRUE(waitUntil([&] { return !connections().empty() && !connections().back().commands.empty(); }));
    const auto seen = connections();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kReboots + 1));
    int setLogDestinations = 0;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        ASSERT_FALSE(seen[i].commands.empty()) << "connection " << i;
        EXPECT_EQ(seen[i].commands.front().second, "TEST_CHCU_TO_OAM:HEARTBEAT;") << "connection " << i;
        for (const auto& [at, text] : seen[i].commands) {
            if (!text.starts_with("TEST_CTRL_TO_CHCU:SETLOGDST"))
                continue;
            ++setLogDestinations;
            EXPECT_EQ(text, setLogDestination);
            if (i > 0) {
                EXPECT_GE(at - seen[i].acceptedAt, timer::kLogDestinationPeriod - 100ms)
                    << "SETLOGDST right after reconnection " << i << ": the log receiver was started again";
            }
        }
    }
    EXPECT_GE(setLogDestinations, 1);

    // The receiver still works: the repeat timer announces it, and the repeater's next line is shown.
    EXPECT_TRUE(window->session().timerActive(timer::kLogDestination));
    window->session().onTimer(timer::kLogDestination);
    ASSERT_TRUE(waitUntil([&] { return repeater->logDestination().has_value(); }));
    ASSERT_TRUE(repeater->sendLog("CHCU: alive after a hundred reboots"));
    ASSERT_TRUE(waitUntil([&] {
        return viewText(*window).find(">> CHCU: alive after a hundred reboots\n") != std::string::npos;
    }));
    EXPECT_FALSE(window->session().timerActive(timer::kLogDestination));
}

} // namespace
} // namespace tavrel::test

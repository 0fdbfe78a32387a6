// A collector and windows through its relay on one emulated repeater that serves one connection at a time:
// the repeater keeps one connection, every log line is filed by all, a window's menu command reaches the
// repeater once and is written down with its origin, and the windows follow the repeater's link down and up.
#include <memory>
#include <regex>

#include <netinet/in.h>
#include <sys/socket.h>

#include "emulator/repeater_emulator.h"
#include "protocol/om_commands.h"
#include "session/repeater_session.h"
#include "tests/fleet/fleet_fixture.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;
using emulator::RepeaterEmulator;

std::unique_ptr<RepeaterEmulator> startRepeater(const std::string& address) {
    emulator::EmulatorOptions options;
    options.address = address;
    options.airRecordsPerSecond = 0;
    options.quiet = true;
    auto repeater = std::make_unique<RepeaterEmulator>(options);
    EXPECT_TRUE(repeater->start());
    return repeater;
}

// A UDP port free right now, for a window's receivers.
int freeUdpPort() {
    return bindToFreePort(Socket::udp(), "127.0.0.1");
}

// The numbers of the test's lines in a run log, in the order filed.
std::vector<int> numberedLines(const std::string& log) {
    std::vector<int> numbers;
    static const std::regex line("RELAYED LINE ([0-9]+)");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        numbers.push_back(std::stoi((*it)[1]));
    return numbers;
}

std::vector<int> oneTo(int last) {
    std::vector<int> numbers(static_cast<std::size_t>(last));
    for (int i = 0; i < last; ++i)
        numbers[static_cast<std::size_t>(i)] = i + 1;
    return numbers;
}

// A window as the tool runs it (its session: O&M link, receivers, timers, run files), pointed at the relay.
struct Window {
    test::TempExeDir dir;
    std::unique_ptr<RepeaterSession> session;

    Window(const std::string& repeater, const std::string& relay, std::uint16_t relayPort) {
        MonitorSettings settings{"127.0.0.1", freeUdpPort(), freeUdpPort(), repeater, relay, relayPort};
        session = std::make_unique<RepeaterSession>(settings, dir.logDir().string());
        EXPECT_TRUE(session->start().empty());
    }
    std::string runLog() const { return test::readFile(session->runFiles().runLogPath()); }
};

class Relay : public test::FleetFixture {
protected:
    void startAll(const std::string& repeater, const std::string& relay) {
        m_repeater = startRepeater(repeater);
        WatchedRepeaterConfig config{"hill", repeater, false};
        config.relayListen = HostPort{relay, 0};
        start({config});
        ASSERT_TRUE(test::waitUntil([&] { return connected("hill"); }));
        const std::uint16_t port = m_collector->find("hill")->relay()->port();
        for (int i = 0; i < 2; ++i)
            m_windows.push_back(std::make_unique<Window>(repeater, relay, port));
        ASSERT_TRUE(test::waitUntil([&] { return windowsConnected() && logDestinations() == 2; }));
    }
    bool windowsConnected() const {
        return std::all_of(m_windows.begin(), m_windows.end(),
                           [](const auto& w) { return w->session->connected(); });
    }
    std::size_t logDestinations() const {
        return m_collector->find("hill")->relay()->clientsWithLogDestination();
    }

    std::unique_ptr<RepeaterEmulator> m_repeater;
    std::vector<std::unique_ptr<Window>> m_windows;
};

TEST_F(Relay, TwoWindowsAndTheCollectorShareOneConnectionFor20Seconds) {
    ASSERT_NO_FATAL_FAILURE(startAll("127.0.25.2", "127.0.25.12"));
    ASSERT_TRUE(test::waitUntil([&] { return m_repeater->logDestination().has_value(); }));
    m_repeater->clearReceivedCommands();

    int sent = 0;
    bool commandSent = false;
    const auto begin = std::chrono::steady_clock::now();
    for (auto now = begin; now - begin < 20s; now = std::chrono::steady_clock::now()) {
        if (now - begin >= sent * 50ms) {
            EXPECT_TRUE(m_repeater->sendLog("RELAYED LINE " + std::to_string(++sent)));
        }
        if (sent == 100 && !std::exchange(commandSent, true))
            m_windows[0]->session->sendCommand(om::kShowSwVersion);
        test::waitUntil([] { return false; }, 5ms); // the event loop runs meanwhile
    }
    const auto filedAll = [&](const std::string& log) {
        return numberedLines(log).size() >= std::size_t(sent);
    };
    ASSERT_TRUE(test::waitUntil([&] {
        return filedAll(runLog("hill")) && filedAll(m_windows[0]->runLog()) &&
               filedAll(m_windows[1]->runLog());
    }));
    EXPECT_EQ(m_repeater->connectionCount(), 1);
    EXPECT_EQ(numberedLines(runLog("hill")), oneTo(sent));
    EXPECT_EQ(numberedLines(m_windows[0]->runLog()), oneTo(sent));
    EXPECT_EQ(numberedLines(m_windows[1]->runLog()), oneTo(sent));

    const auto commands = m_repeater->receivedCommands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), std::string(om::kShowSwVersion)), 1);
    // The windows' heartbeats are taken by the relay: the repeater hears the collector's alone (every 5 s).
    EXPECT_LE(std::count(commands.begin(), commands.end(), std::string(om::kHeartbeat)), 5);
    const std::regex written("COMMAND from 127\\.0\\.0\\.1:[0-9]+: TEST_CTRL_TO_CHCU:SHOWSWVER:");
    EXPECT_TRUE(std::regex_search(runLog("hill"), written));
    EXPECT_TRUE(std::any_of(m_said.begin(), m_said.end(),
                            [&](const auto& s) { return std::regex_search(s, written); }));

    // A window that closes disturbs neither the other window nor the collector.
    m_windows.pop_back();
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(m_repeater->sendLog("RELAYED LINE " + std::to_string(++sent)));
    ASSERT_TRUE(
        test::waitUntil([&] { return filedAll(runLog("hill")) && filedAll(m_windows[0]->runLog()); }));
    EXPECT_EQ(numberedLines(m_windows[0]->runLog()), oneTo(sent));
    EXPECT_EQ(m_repeater->connectionCount(), 1);
    EXPECT_TRUE(m_windows[0]->session->connected());
}

// A window's AILOGON turns the repeater's air log on towards the collector, which passes the records to the
// window alone (its own air_log is off); the window's AILOGOFF turns it off again.
TEST_F(Relay, WindowsSeeTheRepeatersLossAndComeBackWithIt) {
    ASSERT_NO_FATAL_FAILURE(startAll("127.0.25.5", "127.0.25.15"));
    const auto airDataLines = [](const RunFiles& files) {
        const std::string data =
            test::readFile(files.downlinkDataPath()) + test::readFile(files.uplinkDataPath());
        return std::count(data.begin(), data.end(), '\n');
    };
    m_windows[0]->session->airLogOn();
    ASSERT_TRUE(test::waitUntil([&] { return m_repeater->airDestination().has_value(); }));
    EXPECT_EQ(m_repeater->airDestination()->port, m_collector->airPort());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(m_repeater->sendAirRecord());
    ASSERT_TRUE(test::waitUntil([&] { return airDataLines(m_windows[0]->session->runFiles()) >= 3; }));
    EXPECT_EQ(airDataLines(m_windows[1]->session->runFiles()), 0);
    EXPECT_EQ(airDataLines(m_collector->find("hill")->runFiles()), 0);
    m_windows[0]->session->airLogOff();
    ASSERT_TRUE(test::waitUntil([&] { return m_repeater->waitForCommand(om::kAirLogOff, 0ms); }));

    m_repeater.reset();
    ASSERT_TRUE(test::waitUntil([&] {
        return !connected("hill") && std::none_of(m_windows.begin(), m_windows.end(),
                                                  [](const auto& w) { return w->session->connected(); });
    }));
    m_repeater = startRepeater("127.0.25.5");
    ASSERT_TRUE(test::waitUntil([&] { return connected("hill") && windowsConnected(); }, 10s));
    EXPECT_EQ(m_collector->find("hill")->metrics()->relayClients.load(), 2u);
    EXPECT_EQ(m_repeater->connectionCount(), 1);
}

} // namespace
} // namespace tavrel

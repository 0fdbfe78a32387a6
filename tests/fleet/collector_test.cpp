// A collector watching repeaters on loopback: the window's commands on the wire at the window's times, each
// repeater's logs filed under its own address, unknown senders counted and never filed, and a new
// configuration applied without disturbing the repeaters it keeps.
#include <algorithm>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "emulator/repeater_emulator.h"
#include "fleet/fleet_collector.h"
#include "session/session_timers.h"
#include "tests/fleet/fleet_fixture.h"
#include "tests/link/test_peer.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;
using emulator::EmulatorOptions;
using emulator::RepeaterEmulator;

// An emulated repeater on the address without its status lines (and, if asked, without air records).
EmulatorOptions quietRepeater(std::string address,
                              double airRecordsPerSecond = emulator::kDmrAirRecordsPerSecond) {
    EmulatorOptions options;
    options.address = std::move(address);
    options.airRecordsPerSecond = airRecordsPerSecond;
    options.quiet = true;
    return options;
}

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

// A UDP socket sending from the given loopback address, as a repeater (or a stranger) does.
bool sendFrom(const std::string& from, std::uint16_t port, const std::string& bytes) {
    Socket socket = Socket::udp();
    sockaddr_in local{};
    sockaddr_in to{};
    return makeIPv4Address(from, 0, local) && makeIPv4Address("127.0.0.1", port, to) &&
           ::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 &&
           ::sendto(socket.fd(), bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                    sizeof to) == static_cast<ssize_t>(bytes.size());
}

int intOption(int fd, int level, int name) {
    int value = -1;
    socklen_t size = sizeof value;
    ::getsockopt(fd, level, name, &value, &size);
    return value;
}

class Collector : public test::FleetFixture {
protected:
    // A connection attempt is under way (the bare listener then accepts it without the loop running).
    bool attempting(std::string_view name) {
        return m_collector->find(name)->linkState() != WatchedRepeater::LinkState::Waiting;
    }
};

// With a bare listener in the repeater's place (it never logs), the commands' rhythm is the window's:
// heartbeat on connect and every 5 s, SETLOGDST once and every second until a log datagram comes, ALARMQUERY
// every 2 s; after a loss it reconnects and starts SETLOGDST again.
TEST_F(Collector, SendsTheWindowsCommandsAtTheWindowsTimes) {
    test::TestPeer peer("127.0.11.3");
    FleetCollector& collector = start({{"hill", "127.0.11.3", false}});
    ASSERT_TRUE(test::waitUntil([&] { return attempting("hill"); }));
    ASSERT_TRUE(peer.accept(3s));
    ASSERT_TRUE(test::waitUntil([&] { return connected("hill"); }));
    const std::string logDestination =
        "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.0.1," + std::to_string(collector.logPort());
    const std::string heartbeat = "TEST_CHCU_TO_OAM:HEARTBEAT;";
    const std::string alarmQuery = "TEST_CTRL_TO_CHCU:ALARMQUERY:";
    EXPECT_EQ(peer.read(heartbeat.size() + logDestination.size()), heartbeat + logDestination);

    for (int second = 1; second <= 5; ++second)
        advance(1s);
    const std::string fiveSeconds = peer.read(1000, 300ms);
    EXPECT_EQ(count(fiveSeconds, logDestination), 5) << fiveSeconds;
    EXPECT_EQ(count(fiveSeconds, alarmQuery), 2) << fiveSeconds;
    EXPECT_EQ(count(fiveSeconds, heartbeat), 1) << fiveSeconds;
    EXPECT_EQ(count(fiveSeconds, "AILOGON"), 0) << "air_log is off";

    // The first log datagram from the repeater's own address ends the repeats.
    ASSERT_TRUE(sendFrom("127.0.11.3", collector.logPort(), "first words"));
    ASSERT_TRUE(test::waitUntil([&] { return collector.find("hill")->metrics()->logLines == 1; }));
    advance(1s);
    advance(1s);
    EXPECT_EQ(count(peer.read(1000, 300ms), "SETLOGDST"), 0);

    // The keep-alive of the window's link, so a power cut is noticed within 30 s.
    const int fd = collector.find("hill")->linkDescriptor();
    EXPECT_EQ(intOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_KEEPIDLE), 10);
    EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT), 20000);
    EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_NODELAY), 1);

    // Lost and back: the repeats start again, a second apart.
    peer.closeConnection();
    ASSERT_TRUE(test::waitUntil([&] { return !connected("hill"); }));
    EXPECT_EQ(collector.find("hill")->metrics()->disconnects, 1u);
    EXPECT_FALSE(collector.find("hill")->metrics()->up);
    ASSERT_TRUE(test::waitUntil([&] { return attempting("hill"); }));
    ASSERT_TRUE(peer.accept(3s));
    ASSERT_TRUE(test::waitUntil([&] { return connected("hill"); }));
    EXPECT_EQ(peer.read(heartbeat.size(), 1s), heartbeat);
    advance(1s);
    EXPECT_EQ(count(peer.read(1000, 300ms), logDestination), 1);
    EXPECT_EQ(collector.find("hill")->metrics()->connects, 2u);
    const std::string log = runLog("hill");
    EXPECT_EQ(count(log, ">> Repeter connected\n"), 2) << log;
    EXPECT_EQ(count(log, ">> Repeter disconnected\n"), 1) << log;
    EXPECT_EQ(count(log, ">> first words\n"), 1) << log;
}

// Two emulated repeaters: each one's log lines, air records and alarm transitions go to its own files and
// series; a stranger's datagrams go nowhere but the count and one line of the collector's log.
TEST_F(Collector, FilesEachRepeaterApartAndCountsStrangers) {
    RepeaterEmulator north(quietRepeater("127.0.11.1", 0));
    RepeaterEmulator south(quietRepeater("127.0.11.2", 0));
    ASSERT_TRUE(north.start());
    ASSERT_TRUE(south.start());
    FleetCollector& collector = start({{"north", "127.0.11.1", true}, {"south", "127.0.11.2", false}});
    ASSERT_TRUE(test::waitUntil([&] { return connected("north") && connected("south"); }));
    ASSERT_TRUE(north.waitForCommand(
        "TEST_CTRL_TO_CHCU:AILOGON:127.0.0.1," + std::to_string(collector.airPort()), 2s));
    ASSERT_TRUE(south.waitForCommand(
        "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.0.1," + std::to_string(collector.logPort()), 2s));
    const auto southCommands = south.receivedCommands();
    EXPECT_TRUE(std::none_of(southCommands.begin(), southCommands.end(),
                             [](const std::string& c) { return c.find("AILOGON") != std::string::npos; }));

    ASSERT_TRUE(north.sendLog("north only"));
    ASSERT_TRUE(south.sendLog("south only"));
    ASSERT_TRUE(test::waitUntil([&] { return north.airDestination().has_value(); }));
    ASSERT_TRUE(north.sendAirRecord());
    const RepeaterMetrics& northMetrics = *collector.find("north")->metrics();
    EXPECT_FALSE(northMetrics.alarmsKnown);
    advance(2s); // the first alarm query: all clear
    ASSERT_TRUE(test::waitUntil([&] { return northMetrics.alarmsKnown.load(); }));
    north.setAlarmBits(0x04); // Rx PLL
    advance(2s);
    ASSERT_TRUE(test::waitUntil([&] { return northMetrics.alarmActive[2].load(); }));
    EXPECT_TRUE(northMetrics.alarmsKnown);
    EXPECT_EQ(northMetrics.alarmRaised[2], 1u);
    EXPECT_GT(northMetrics.alarmLastChangeMs[2], 0);
    ASSERT_TRUE(test::waitUntil([&] { return northMetrics.airRecords == 1; }));
    ASSERT_TRUE(test::waitUntil([&] { return count(runLog("south"), "south only") == 1; }));

    const std::string northLog = runLog("north");
    EXPECT_EQ(count(northLog, ">> north only\n"), 1);
    EXPECT_EQ(count(northLog, "south only"), 0);
    EXPECT_EQ(count(northLog, ">> ALARM Rx PLL raised\n"), 1) << northLog;
    EXPECT_EQ(count(runLog("south"), "ALARM"), 0);
    EXPECT_TRUE(collector.find("north")->runFiles().runLogPath().starts_with(
        m_dir.path() + "/127.0.11.1/repeater[127.0.11.1]_"));
    const std::string air = test::readFile(collector.find("north")->runFiles().downlinkDataPath()) +
                            test::readFile(collector.find("north")->runFiles().uplinkDataPath());
    EXPECT_EQ(count(air, "\n"), 1) << air;
    EXPECT_GE(northMetrics.logLines, 1u);

    ASSERT_TRUE(sendFrom("127.0.11.99", collector.logPort(), "who am I"));
    ASSERT_TRUE(sendFrom("127.0.11.99", collector.airPort(), "me again"));
    ASSERT_TRUE(test::waitUntil([&] { return collector.metrics().unknownSenders() == 2; }));
    EXPECT_EQ(std::count_if(m_said.begin(), m_said.end(),
                            [](const std::string& s) { return s.find("127.0.11.99") != std::string::npos; }),
              1);
    EXPECT_EQ(count(runLog("north") + runLog("south"), "who am I"), 0);
}

// A reload stops the removed repeater, starts the new one and leaves the kept one's connection as it was.
TEST_F(Collector, ReloadTouchesOnlyWhatChanged) {
    RepeaterEmulator a(quietRepeater("127.0.11.4"));
    RepeaterEmulator b(quietRepeater("127.0.11.5"));
    RepeaterEmulator c(quietRepeater("127.0.11.6"));
    for (RepeaterEmulator* e : {&a, &b, &c})
        ASSERT_TRUE(e->start());
    FleetCollector& collector = start({{"a", "127.0.11.4", false}, {"b", "127.0.11.5", false}});
    ASSERT_TRUE(test::waitUntil([&] { return connected("a") && connected("b"); }));
    const int keptDescriptor = collector.find("b")->linkDescriptor();

    collector.reload(makeConfig({{"b", "127.0.11.5", false}, {"c", "127.0.11.6", true}}));
    EXPECT_EQ(collector.find("a"), nullptr);
    EXPECT_TRUE(a.waitForConnectionCount(1, 1s));
    ASSERT_TRUE(test::waitUntil([&] { return !a.connected() && connected("c"); }));
    EXPECT_EQ(collector.find("b")->linkDescriptor(), keptDescriptor);
    EXPECT_EQ(b.connectionCount(), 1);
    EXPECT_EQ(collector.repeaterCount(), 2u);
    const std::string text = exposition(collector.metrics().Collect());
    EXPECT_EQ(text.find("repeater=\"a\""), std::string::npos);
    EXPECT_NE(text.find("tavrel_repeater_up{repeater=\"c\"} 1"), std::string::npos) << text;
}

// Ports that are taken are named; nothing is started.
// A repeater whose files cannot be written (its folder is taken by a plain file) is told in the collector's
// own log, once, naming the file and the reason, instead of losing its lines in silence.
TEST_F(Collector, FilesThatCannotBeWrittenAreToldOnce) {
    std::ofstream(m_dir.path() + "/127.0.11.9") << "not a folder";
    start({{"dale", "127.0.11.9", false}});
    std::vector<std::string> told;
    for (const std::string& line : m_said)
        if (line.starts_with("dale: "))
            told.push_back(line);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find(m_dir.path() + "/127.0.11.9/repeater[127.0.11.9]_"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("Not a directory"), std::string::npos) << told[0];
}

TEST_F(Collector, APortInUseIsNamed) {
    Socket taken = Socket::udp();
    const std::uint16_t port = bindToFreePort(taken, "127.0.0.1");
    ASSERT_NE(port, 0);

    CollectorConfig config = makeConfig({{"a", "127.0.11.7", false}});
    config.airPort = port;
    FleetCollector collector(config, CollectorOptions{.serveMetrics = false});
    EXPECT_EQ(collector.start(), "the air_port " + std::to_string(port) + " on 127.0.0.1 is already in use");
    EXPECT_EQ(collector.repeaterCount(), 0u);
}

} // namespace
} // namespace tavrel

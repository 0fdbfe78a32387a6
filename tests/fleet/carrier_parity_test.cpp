// The window's session and the collector's watched repeater carry one monitoring core: fed the same events by
// repeaters that behave alike, they write the same run log, line for line.
#include <filesystem>
#include <regex>
#include <sstream>

#include "fleet/fleet_collector.h"
#include "session/repeater_session.h"
#include "tests/fleet/fleet_fixture.h"
#include "tests/link/test_peer.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;

constexpr StampedTime kStart{2026, 12, 10, 7, 0, 0};

Payload bytes(std::string_view text) {
    return Payload(text.begin(), text.end());
}

std::vector<std::uint8_t> downlinkRecord(int number) {
    std::vector<std::uint8_t> record(44, 0);
    record[4] = static_cast<std::uint8_t>(number);
    record[5] = 0x0A;
    return record;
}

// The run log with the time stamps cut off and the carrier's own folder and repeater address named alike;
// the path line is left out, as it names the folder.
std::string comparable(const std::string& runLog, const std::string& folder, const std::string& address) {
    std::istringstream in(runLog);
    std::string out;
    const std::regex stamp(R"(^\d{8} \d{6}>> )");
    for (std::string line; std::getline(in, line);) {
        if (line.find(">> Run log: ") != std::string::npos)
            continue;
        line = std::regex_replace(line, stamp, "");
        for (const auto& [from, to] :
             {std::pair{folder, std::string("FOLDER")}, std::pair{address, std::string("ADDR")}})
            for (auto at = line.find(from); at != std::string::npos; at = line.find(from, at))
                line.replace(at, from.size(), to);
        out += line + "\n";
    }
    return out;
}

TEST(CarrierParity, WindowAndCollectorWriteTheSameRunLog) {
    test::TempExeDir windowDir;
    test::TempExeDir collectorDir;
    test::TestPeer windowPeer("127.0.21.1");
    test::TestPeer collectorPeer("127.0.21.2");
    ASSERT_TRUE(windowPeer.listening() && collectorPeer.listening());
    const auto wallNow = [] { return WallClock::time_point{} + std::chrono::hours(24 * 365 * 50); };

    SessionOptions sessionOptions;
    sessionOptions.clock = [] { return kStart; };
    sessionOptions.wallTime = wallNow;
    RepeaterSession session({"127.0.21.101", 44320, 45320, "127.0.21.1"}, windowDir.logDir().string(),
                            sessionOptions);
    ASSERT_TRUE(session.start().empty());

    CollectorConfig config;
    config.localAddress = "127.0.21.102";
    config.stateDir = collectorDir.path();
    config.repeaters = {{"twin", "127.0.21.2", false}};
    FleetCollector collector(config, {.wallNow = wallNow,
                                      .stampNow = [] { return kStart; },
                                      .log = [](std::string_view) {},
                                      .serveMetrics = false,
                                      .seed = 2301});
    ASSERT_EQ(collector.start(), "");
    WatchedRepeater& watched = *collector.find("twin");

    // Connect: both carriers run their loops meanwhile (the window's link task hands its lines over).
    for (test::TestPeer* peer : {&windowPeer, &collectorPeer})
        ASSERT_TRUE(test::waitUntil([&] {
            collector.runDueTimers();
            return peer->accept(10ms);
        }));
    ASSERT_TRUE(test::waitUntil([&] { return session.connected(); }));
    ASSERT_TRUE(
        test::waitUntil([&] { return watched.linkState() == WatchedRepeater::LinkState::Connected; }));

    // Alarm reports: found active, then one raised and one cleared.
    for (const auto& [report, bits] : {std::pair{"ALARMSTATE:5", 5}, std::pair{"ALARMSTATE:12", 12}}) {
        ASSERT_TRUE(windowPeer.send(report) && collectorPeer.send(report));
        const auto shows = [bits](const AlarmTracker& alarms) {
            return alarms.active(0) == ((bits & kAlarmVswr) != 0) &&
                   alarms.active(3) == ((bits & kAlarmTxPll) != 0);
        };
        ASSERT_TRUE(
            test::waitUntil([&] { return shows(session.alarms()) && shows(watched.rules().alarms()); }));
    }

    // Log datagrams and air records; then the downlink data file cannot be written (a folder stands in its
    // place) and is written again once the folder is gone.
    const auto logLine = [&](std::string_view text) {
        session.handleNotification({NotifyRepeaterLog, bytes(text)});
        watched.onLogDatagram(text);
    };
    const auto airRecord = [&](int number) {
        const std::vector<std::uint8_t> record = downlinkRecord(number);
        session.handleNotification({NotifyAirLogRecord, Payload(record.begin(), record.end())});
        watched.onAirRecord(record);
    };
    logLine("CHCU: first words");
    airRecord(1);
    for (const std::string& path :
         {session.runFiles().downlinkDataPath(), watched.runFiles().downlinkDataPath()}) {
        std::filesystem::remove(path);
        std::filesystem::create_directory(path);
    }
    airRecord(2);
    airRecord(3);
    logLine("CHCU: while the file is away");
    for (const std::string& path :
         {session.runFiles().downlinkDataPath(), watched.runFiles().downlinkDataPath()})
        std::filesystem::remove(path);
    airRecord(4);

    // A disconnect. The repeaters stop listening first: a link that is lost retries at once, and a repeater
    // still listening would take it back before both carriers were seen apart.
    for (test::TestPeer* peer : {&windowPeer, &collectorPeer}) {
        peer->stopListening();
        peer->closeConnection();
    }
    ASSERT_TRUE(test::waitUntil([&] {
        return !session.connected() && watched.linkState() != WatchedRepeater::LinkState::Connected;
    }));

    const std::string windowLog = comparable(test::readFile(session.runFiles().runLogPath()),
                                             windowDir.logDir().string(), "127.0.21.1");
    const std::string collectorLog = comparable(test::readFile(watched.runFiles().runLogPath()),
                                                collectorDir.path() + "/127.0.21.2", "127.0.21.2");
    EXPECT_EQ(collectorLog, windowLog);
    // The script did reach both: each step left its line.
    for (const std::string_view line :
         {"Connecting to repeater...", "Repeter connected", "ALARM V-SWR active", "ALARM Rx PLL active",
          "ALARM Tx PLL raised", "ALARM V-SWR cleared after 00:00:00", "CHCU: first words", "Is a directory",
          "FOLDER/AIRInfo[ADDR]_D_20261210070000.dat is written again", "Repeter disconnected"})
        EXPECT_NE(windowLog.find(line), std::string::npos) << line << " missing in\n" << windowLog;
}

} // namespace
} // namespace tavrel

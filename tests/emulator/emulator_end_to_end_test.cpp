// The emulator in-process against a plain TCP client and UDP sockets on 127.0.3.x, as the monitor meets it.
#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "emulator/repeater_emulator.h"
#include "tests/emulator/loopback_peer.h"

namespace tavrel::emulator {
namespace {

using namespace std::chrono_literals;
using test::connectOm;
using test::receiveTcp;
using test::UdpReceiver;

// Collects the console lines of one emulator.
struct Console {
    std::mutex mutex;
    std::vector<std::string> lines;

    bool contains(const std::string& part) {
        std::lock_guard lock(mutex);
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.find(part) != std::string::npos; });
    }
};

EmulatorOptions optionsFor(const char* address, Console* console = nullptr) {
    EmulatorOptions options;
    options.address = address;
    if (console)
        options.console = [console](const std::string& line) {
            std::lock_guard lock(console->mutex);
            console->lines.push_back(line);
        };
    return options;
}

void sendText(const Socket& socket, const std::string& text) {
    ASSERT_EQ(socket.send(text), ssize_t(text.size()));
}

TEST(EmulatorEndToEnd, AlarmQueryIsAnsweredWithTheCurrentBits) {
    auto options = optionsFor("127.0.3.10");
    options.alarmBits = 5;
    RepeaterEmulator emulator(options);
    ASSERT_TRUE(emulator.start());
    const Socket client = connectOm("127.0.3.10");
    ASSERT_TRUE(client.valid());

    sendText(client, "TEST_CTRL_TO_CHCU:ALARMQUERY:");
    EXPECT_EQ(receiveTcp(client), "ALARMSTATE:5");
    emulator.setAlarmBits(0x12);
    sendText(client, "TEST_CTRL_TO_CHCU:ALARMQUERY:");
    EXPECT_EQ(receiveTcp(client), "ALARMSTATE:18");

    // An unlocked transmit loop adds its own alarm to the bits set from outside.
    sendText(client, "TEST_CTRL_TO_CHCU:SETPLL:TX:0,300000000");
    ASSERT_TRUE(emulator.waitForCommand("TEST_CTRL_TO_CHCU:SETPLL:TX:0,300000000", 2s));
    sendText(client, "TEST_CTRL_TO_CHCU:ALARMQUERY:");
    EXPECT_EQ(receiveTcp(client), "ALARMSTATE:26");
    // The heartbeat is taken silently.
    sendText(client, "TEST_CHCU_TO_OAM:HEARTBEAT;");
    ASSERT_TRUE(emulator.waitForCommand("TEST_CHCU_TO_OAM:HEARTBEAT;", 2s));
    EXPECT_EQ(receiveTcp(client, 100ms), "");
}

TEST(EmulatorEndToEnd, StreamIsSplitIntoCommandsAndUnknownTextIsReported) {
    Console console;
    RepeaterEmulator emulator(optionsFor("127.0.3.11", &console));
    ASSERT_TRUE(emulator.start());
    const Socket client = connectOm("127.0.3.11");
    ASSERT_TRUE(client.valid());

    sendText(client, "TEST_CHCU_TO_OAM:HEARTBEAT;TEST_CTRL_TO_CHCU:SWICHCHNL:1");
    sendText(client, "2");
    sendText(client, "TEST_CTRL_TO_CHCU:ALARMQUERY");
    ASSERT_TRUE(emulator.waitForCommand("TEST_CTRL_TO_CHCU:ALARMQUERY", 2s)) << "ended by the quiet gap";
    EXPECT_EQ(emulator.receivedCommands(),
              (std::vector<std::string>{"TEST_CHCU_TO_OAM:HEARTBEAT;", "TEST_CTRL_TO_CHCU:SWICHCHNL:12",
                                        "TEST_CTRL_TO_CHCU:ALARMQUERY"}));
    EXPECT_EQ(emulator.channel(), 12);
    EXPECT_TRUE(console.contains(" RX TEST_CTRL_TO_CHCU:SWICHCHNL:12"));
    EXPECT_TRUE(console.contains(" RX unknown \"TEST_CTRL_TO_CHCU:ALARMQUERY\""));
    EXPECT_EQ(emulator.counters().unknownCommands, 1u);
    EXPECT_EQ(receiveTcp(client, 100ms), "") << "a wrong alarm query gets no answer";
}

TEST(EmulatorEndToEnd, LogDestinationReceivesCommandLinesReportsAndStatus) {
    RepeaterEmulator emulator(optionsFor("127.0.3.12"));
    ASSERT_TRUE(emulator.start());
    UdpReceiver log("127.0.3.12");
    const Socket client = connectOm("127.0.3.12");
    ASSERT_TRUE(client.valid());

    // The port is taken modulo 65536, as the repeater does.
    sendText(client, "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.3.12," + std::to_string(log.port() + 65536));
    EXPECT_EQ(log.receive(), "LOG: on, destination 127.0.3.12:" + std::to_string(log.port()));
    sendText(client, "TEST_CTRL_TO_CHCU:SHOWSWVER:");
    const auto version = log.receiveStartingWith("SW VERSION");
    ASSERT_TRUE(version);
    EXPECT_NE(version->find("\n  ARM     : V"), std::string::npos) << "one datagram with line breaks";
    sendText(client, "TEST_CTRL_TO_CHCU:PA:OFF");
    EXPECT_TRUE(log.receiveStartingWith("PA: off"));
    EXPECT_TRUE(log.receiveStartingWith("ALIVE uptime="));
    EXPECT_FALSE(emulator.paOn());

    sendText(client, "TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON");
    EXPECT_TRUE(log.receiveStartingWith("DSP: ts1 "));
    sendText(client, "TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:ON");
    EXPECT_TRUE(log.receiveStartingWith("DSPLINK: tx="));
}

TEST(EmulatorEndToEnd, LogTextArrivesAsOneDatagramOnlyOnceADestinationIsSet) {
    auto options = optionsFor("127.0.3.13");
    options.quiet = true;
    RepeaterEmulator emulator(options);
    ASSERT_TRUE(emulator.start());
    UdpReceiver log("127.0.3.13");
    EXPECT_FALSE(emulator.sendLog("nowhere to go"));

    const Socket client = connectOm("127.0.3.13");
    sendText(client, "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.3.13," + std::to_string(log.port()));
    ASSERT_TRUE(log.receiveStartingWith("LOG: on"));
    EXPECT_TRUE(emulator.sendLog("first line\nsecond line"));
    EXPECT_EQ(log.receive(), "first line\nsecond line");
    const std::string full(1024, 'L');
    EXPECT_TRUE(emulator.sendLog(full));
    EXPECT_EQ(log.receive(), full);
    EXPECT_EQ(log.receive(300ms), std::nullopt) << "a quiet repeater sends no status lines";
}

TEST(EmulatorEndToEnd, NumberedLinesComeInOrderAtTheGivenSize) {
    auto options = optionsFor("127.0.3.14");
    options.quiet = true;
    options.logLinesPerSecond = 500;
    options.logLineBytes = 1025;
    RepeaterEmulator emulator(options);
    ASSERT_TRUE(emulator.start());
    UdpReceiver log("127.0.3.14");
    const Socket client = connectOm("127.0.3.14");
    sendText(client, "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.3.14," + std::to_string(log.port()));
    ASSERT_TRUE(log.receiveStartingWith("LOG: on"));
    for (int number = 1; number <= 50; ++number) {
        const auto line = log.receive();
        ASSERT_TRUE(line);
        EXPECT_EQ(line->size(), 1025u);
        EXPECT_EQ(line->substr(0, 15), "SEQ " + std::string(10 - std::to_string(number).size(), '0') +
                                           std::to_string(number) + " ");
    }
}

TEST(EmulatorEndToEnd, AirLogOnSendsRecordsOfBothDirectionsAndTimeslotsUntilOff) {
    RepeaterEmulator emulator(optionsFor("127.0.3.15"));
    ASSERT_TRUE(emulator.start());
    UdpReceiver air("127.0.3.15");
    const Socket client = connectOm("127.0.3.15");
    sendText(client, "TEST_CTRL_TO_CHCU:AILOGON:127.0.3.15," + std::to_string(air.port()));

    std::set<std::pair<int, int>> streams;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 40; ++i) {
        const auto record = air.receive();
        ASSERT_TRUE(record);
        ASSERT_EQ(record->size(), 44u);
        const auto byte = [&](int index) { return static_cast<unsigned char>((*record)[index]); };
        ASSERT_LE(byte(0), 1);
        EXPECT_EQ(byte(1), 0) << "header value is big-endian and below 2^24";
        const int timeslot = byte(2) >> 4;
        EXPECT_TRUE(timeslot == 1 || timeslot == 2);
        EXPECT_TRUE(byte(5) == 0x01 || byte(5) == 0x02 || byte(5) == 0x03 || byte(5) == 0x09 ||
                    (byte(5) >= 0x0A && byte(5) <= 0x0F));
        streams.insert({byte(0), timeslot});
    }
    EXPECT_EQ(streams.size(), 4u);
    // 40 records at about 67 per second take about 0.6 s: far from a flood, far from a trickle.
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GT(took, 300ms);
    EXPECT_LT(took, 3s);

    sendText(client, "TEST_CTRL_TO_CHCU:AILOGOFF");
    ASSERT_TRUE(emulator.waitForCommand("TEST_CTRL_TO_CHCU:AILOGOFF", 2s));
    air.drain();
    EXPECT_EQ(air.receive(300ms), std::nullopt);
    EXPECT_FALSE(emulator.sendAirRecord());
}

TEST(EmulatorEndToEnd, AirRecordSizesBeyondTheLimits) {
    auto options = optionsFor("127.0.3.16");
    options.airRecordsPerSecond = 0;
    options.airRecordBytes = 65507;
    RepeaterEmulator emulator(options);
    ASSERT_TRUE(emulator.start());
    UdpReceiver air("127.0.3.16");
    const Socket client = connectOm("127.0.3.16");
    sendText(client, "TEST_CTRL_TO_CHCU:AILOGON:127.0.3.16," + std::to_string(air.port()));
    ASSERT_TRUE(
        emulator.waitForCommand("TEST_CTRL_TO_CHCU:AILOGON:127.0.3.16," + std::to_string(air.port()), 2s));
    EXPECT_EQ(air.receive(200ms), std::nullopt) << "rate 0 sends only on request";
    EXPECT_TRUE(emulator.sendAirRecord());
    const auto record = air.receive();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->size(), 65507u);
    const std::uint8_t shortRecord[3] = {1, 0, 0};
    EXPECT_TRUE(emulator.sendAirBytes(shortRecord));
    EXPECT_EQ(air.receive(), std::string("\x01\x00\x00", 3));
}

TEST(EmulatorEndToEnd, RebootRefusesConnectionsForTheRebootTimeThenAccepts) {
    auto options = optionsFor("127.0.3.17");
    options.rebootTime = 400ms;
    RepeaterEmulator emulator(options);
    ASSERT_TRUE(emulator.start());
    UdpReceiver log("127.0.3.17");
    const Socket client = connectOm("127.0.3.17");
    sendText(client, "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.3.17," + std::to_string(log.port()));
    ASSERT_TRUE(log.receiveStartingWith("LOG: on"));

    const auto start = std::chrono::steady_clock::now();
    sendText(client, "TEST_CTRL_TO_CHCU:REBOOTREPEATER:");
    EXPECT_TRUE(log.receiveStartingWith("SYSTEM: reboot"));
    EXPECT_EQ(receiveTcp(client), std::nullopt) << "the connection is closed";
    EXPECT_FALSE(connectOm("127.0.3.17").valid());
    EXPECT_EQ(errno, ECONNREFUSED);
    EXPECT_FALSE(emulator.logDestination());
    EXPECT_FALSE(emulator.sendLog("forgotten"));

    ASSERT_TRUE(emulator.waitForListening(3s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 400ms);
    EXPECT_TRUE(connectOm("127.0.3.17").valid());
    ASSERT_TRUE(emulator.waitForConnectionCount(2, 2s));

    // The same through the interface, as the 'reboot' control line does.
    emulator.reboot();
    EXPECT_FALSE(emulator.listening());
    EXPECT_FALSE(connectOm("127.0.3.17").valid());
    EXPECT_TRUE(emulator.waitForListening(3s));
}

TEST(EmulatorEndToEnd, ConnectionsAreReplacedDroppedOrRefused) {
    auto options = optionsFor("127.0.3.18");
    options.dropAfter = 300ms;
    RepeaterEmulator emulator(options);
    ASSERT_TRUE(emulator.start());
    const Socket first = connectOm("127.0.3.18");
    ASSERT_TRUE(emulator.waitForConnectionCount(1, 2s));
    const Socket second = connectOm("127.0.3.18");
    EXPECT_EQ(receiveTcp(first), std::nullopt) << "replaced by the second connection";
    EXPECT_EQ(emulator.connectionCount(), 2);
    EXPECT_EQ(receiveTcp(second, 3s), std::nullopt) << "dropped after 300 ms";
    EXPECT_FALSE(emulator.connected());

    const Socket third = connectOm("127.0.3.18");
    ASSERT_TRUE(emulator.waitForConnectionCount(3, 2s));
    emulator.dropConnection();
    EXPECT_FALSE(emulator.connected());
    EXPECT_EQ(receiveTcp(third), std::nullopt);

    auto refusing = optionsFor("127.0.3.19");
    refusing.refuse = true;
    RepeaterEmulator closed(refusing);
    ASSERT_TRUE(closed.start());
    EXPECT_FALSE(connectOm("127.0.3.19").valid());
    EXPECT_FALSE(closed.listening());
}

TEST(EmulatorEndToEnd, StartFailsWhenThePortIsTakenAndStopIsIdempotent) {
    RepeaterEmulator first(optionsFor("127.0.3.21"));
    ASSERT_TRUE(first.start());
    EXPECT_FALSE(first.start()) << "already running";
    Console console;
    RepeaterEmulator second(optionsFor("127.0.3.21", &console));
    EXPECT_FALSE(second.start());
    EXPECT_TRUE(console.contains("cannot listen on 127.0.3.21:2301"));
    first.stop();
    first.stop();
    EXPECT_TRUE(second.start()) << "the port is free again";
}

} // namespace
} // namespace tavrel::emulator

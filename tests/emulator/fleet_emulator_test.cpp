// The emulator's fleet mode: consecutive addresses, each repeater on its own port and sending from its own
// address, with its own alarms and power switch; and the fleet's control lines.
#include "emulator/fleet_emulator.h"

#include <gtest/gtest.h>

#include "emulator/command_line.h"
#include "emulator/control_line.h"
#include "tests/emulator/loopback_peer.h"

namespace tavrel::emulator {
namespace {

using namespace std::chrono_literals;

// One datagram and the address it came from.
std::pair<std::string, std::string> receiveWithSender(const Socket& socket) {
    if (!test::waitReadable(socket.fd(), 2s))
        return {};
    char buffer[2048];
    sockaddr_in sender{};
    socklen_t size = sizeof sender;
    const auto got =
        ::recvfrom(socket.fd(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &size);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text);
    return {std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0))), text};
}

TEST(FleetEmulator, AddressesFollowOneAnotherAcrossOctets) {
    EXPECT_EQ(addressAfter("127.0.10.1", 0), "127.0.10.1");
    EXPECT_EQ(addressAfter("127.0.10.1", 999), "127.0.13.232");
    EXPECT_EQ(addressAfter("127.0.10.255", 1), "127.0.11.0");
    EXPECT_EQ(addressAfter("not an address", 1), "");
}

TEST(FleetEmulator, EachRepeaterAnswersAndLogsFromItsOwnAddress) {
    EmulatorOptions options;
    options.airRecordsPerSecond = 0;
    options.quiet = true;
    FleetEmulator fleet(options, 3, "127.0.13.1");
    ASSERT_TRUE(fleet.start()) << fleet.error();
    EXPECT_EQ(fleet.address(3), "127.0.13.3");
    Socket udp = Socket::udp(); // the monitor's log receiver, which sees each datagram's sender
    const std::string destination =
        "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.0.1," + std::to_string(bindToFreePort(udp, "127.0.0.1"));

    ASSERT_TRUE(fleet.setAlarmBits(2, 0x04));
    for (const char* address : {"127.0.13.1", "127.0.13.2"}) {
        const Socket link = test::connectOm(address);
        ASSERT_TRUE(link.valid()) << address;
        link.send(destination);
        // The log line about the new destination comes from the repeater's own address.
        EXPECT_EQ(receiveWithSender(udp).second, address);
        link.send(std::string_view("TEST_CTRL_TO_CHCU:ALARMQUERY:"));
        EXPECT_EQ(test::receiveTcp(link),
                  std::string(address) == "127.0.13.2" ? "ALARMSTATE:4" : "ALARMSTATE:0");
        EXPECT_EQ(receiveWithSender(udp).second, address); // the alarm query's log line
        ASSERT_TRUE(fleet.sendLog(std::string(address) == "127.0.13.1" ? 1 : 2, "hello"));
        EXPECT_EQ(receiveWithSender(udp), (std::pair<std::string, std::string>{"hello", address}));
    }
    EXPECT_EQ(fleet.stats().connections, 2u);

    // Switched off: the port refuses and the connection closes; switched on, it listens again.
    const Socket third = test::connectOm("127.0.13.3");
    ASSERT_TRUE(third.valid());
    ASSERT_TRUE(fleet.switchOff(3));
    EXPECT_EQ(test::receiveTcp(third), std::nullopt);
    EXPECT_FALSE(test::connectOm("127.0.13.3").valid());
    EXPECT_EQ(fleet.stats().poweredOn, 2);
    ASSERT_TRUE(fleet.switchOn(3));
    EXPECT_TRUE(test::connectOm("127.0.13.3").valid());
    EXPECT_FALSE(fleet.switchOff(4));
}

TEST(FleetEmulator, ControlLinesNameARepeaterOrAll) {
    struct Case {
        const char* line;
        ControlKind kind;
        int member;
        int bits;
        const char* text;
    };
    const Case cases[] = {
        {"alarm 3 0x04", ControlKind::Alarm, 3, 4, ""},
        {"alarm all 2", ControlKind::Alarm, 0, 2, ""},
        {"log 2 a\\nb", ControlKind::Log, 2, 0, "a\nb"},
        {"off 7", ControlKind::Off, 7, 0, ""},
        {"on 7\r", ControlKind::On, 7, 0, ""},
        {"reboot all", ControlKind::Reboot, 0, 0, ""},
        {"drop 1", ControlKind::Drop, 1, 0, ""},
        {"stats", ControlKind::Stats, 0, 0, ""},
        {"  ", ControlKind::Empty, 0, 0, ""},
        {"off", ControlKind::Invalid, 0, 0, ""},
        {"off 0", ControlKind::Invalid, 0, 0, ""},
        {"alarm 2 lots", ControlKind::Invalid, 2, 0, ""},
        {"reboot 1 now", ControlKind::Invalid, 1, 0, ""},
    };
    for (const Case& c : cases) {
        const ControlLine control = parseControlLine(c.line, true);
        EXPECT_EQ(control.kind, c.kind) << c.line;
        if (c.kind != ControlKind::Invalid && c.kind != ControlKind::Empty) {
            EXPECT_EQ(control.member, c.member) << c.line;
            EXPECT_EQ(control.alarmBits, c.bits) << c.line;
            EXPECT_EQ(control.text, c.text) << c.line;
        }
    }
    const CommandLine line = parseCommandLine({"--fleet", "1000", "--first-address=127.0.10.1", "--quiet"});
    EXPECT_EQ(line.error, "");
    EXPECT_EQ(line.fleet, 1000);
    EXPECT_EQ(parseCommandLine({"--fleet", "0"}).error, "--fleet needs a count from 1 to 10000");
    EXPECT_EQ(parseCommandLine({"--first-address", "127.0.10"}).error,
              "--first-address needs a dotted IPv4 address");
}

} // namespace
} // namespace tavrel::emulator

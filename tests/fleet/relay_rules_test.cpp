// The relay's plain rules: the settings' values and the verdict on each client command.
#include <gtest/gtest.h>

#include "fleet/relay_rules.h"
#include "protocol/om_commands.h"

namespace tavrel {
namespace {

TEST(RelayRules, ReadsListenAndAllowValues) {
    EXPECT_EQ(parseRelayListen("2400"), (HostPort{"127.0.0.1", 2400}));
    EXPECT_EQ(parseRelayListen(" 10.0.0.5:2401 "), (HostPort{"10.0.0.5", 2401}));
    for (const char* bad : {"", "0", "65536", "host:2400", "10.0.0.5:", "10.0.0.5:24x"})
        EXPECT_FALSE(parseRelayListen(bad)) << bad;

    const auto allow = parseCidrList("127.0.0.0/8, 10.1.2.0/24,192.168.7.9");
    ASSERT_TRUE(allow);
    const struct {
        const char* address;
        std::uint32_t value;
        bool allowed;
    } cases[]{{"127.9.9.9", 0x7f090909u, true},
              {"10.1.2.255", 0x0a0102ffu, true},
              {"10.1.3.0", 0x0a010300u, false},
              {"192.168.7.9", 0xc0a80709u, true},
              {"192.168.7.8", 0xc0a80708u, false}};
    for (const auto& c : cases)
        EXPECT_EQ(allowedBy(*allow, c.value), c.allowed) << c.address;
    EXPECT_TRUE(allowedBy(*parseCidrList("0.0.0.0/0"), 0x08080808u));
    EXPECT_TRUE(allowedBy(loopbackOnly(), 0x7f000001u));
    EXPECT_FALSE(allowedBy(loopbackOnly(), 0x0a000001u));
    for (const char* bad : {"", "10.0.0.0/33", "10.0.0/8", "10.0.0.0/", "10.0.0.0/8,", "10.0.0.0/x"})
        EXPECT_FALSE(parseCidrList(bad)) << bad;
}

TEST(RelayRules, JudgesEachClientCommand) {
    using Kind = RelayVerdict::Kind;
    const auto allow = *parseCidrList("127.0.0.0/8");
    const std::string origin = "127.0.0.1:51234";
    const struct {
        std::string command;
        bool commandsOn;
        Kind kind;
        std::string record;
    } cases[]{
        {std::string(om::kHeartbeat), true, Kind::Heartbeat, ""},
        {om::formatLogDestination("127.0.0.9", 44330), true, Kind::LogDestination, ""},
        {om::formatAirLogOn("127.0.0.9", 45330), false, Kind::AirLogOn, ""},
        {std::string(om::kAirLogOff), false, Kind::AirLogOff, ""},
        {om::formatLogDestination("10.0.0.7", 44330), true, Kind::Refused,
         "RELAY log destination 10.0.0.7:44330 from 127.0.0.1:51234 refused: outside relay_allow"},
        {"TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.0.1,0", true, Kind::Refused,
         "RELAY log destination from 127.0.0.1:51234 refused, malformed: "
         "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.0.1,0"},
        {std::string(om::kAlarmQuery), false, Kind::Pass, ""},
        {std::string(om::kShowSwVersion), true, Kind::Pass,
         "COMMAND from 127.0.0.1:51234: TEST_CTRL_TO_CHCU:SHOWSWVER:"},
        {std::string(om::kListChannel), false, Kind::Pass,
         "COMMAND from 127.0.0.1:51234: TEST_CTRL_TO_CHCU:LISTCHANNEL:"},
        {om::formatSwitchChannel(3), false, Kind::Refused,
         "COMMAND from 127.0.0.1:51234 refused (relay_commands=off): TEST_CTRL_TO_CHCU:SWICHCHNL:3"},
        {"bad\nbytes", true, Kind::Pass, "COMMAND from 127.0.0.1:51234: bad?bytes"},
    };
    for (const auto& c : cases) {
        const RelayVerdict verdict = judgeClientCommand(c.command, origin, allow, c.commandsOn);
        EXPECT_EQ(verdict.kind, c.kind) << c.command;
        EXPECT_EQ(verdict.record, c.record) << c.command;
    }
    EXPECT_EQ(judgeClientCommand(om::formatAirLogOn("127.0.0.9", 45330), origin, allow, true).destination,
              (HostPort{"127.0.0.9", 45330}));
}

} // namespace
} // namespace tavrel

// Command texts as formatted, as read off the wire by a real peer, and the send policy of each class.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "link/om_sends.h"
#include "link_rig.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;
using test::LinkRig;

TEST(OmCommandFormat, ArgumentsAreFormattedWhole) {
    EXPECT_EQ(om::formatSetPll(om::PllTarget::Tx, 2, 0), "TEST_CTRL_TO_CHCU:SETPLL:TX:2,0");
    EXPECT_EQ(om::formatSetPll(om::PllTarget::Rx, 0, 438500000), "TEST_CTRL_TO_CHCU:SETPLL:RX:0,438500000");
    EXPECT_EQ(om::formatSwitchChannel(10), "TEST_CTRL_TO_CHCU:SWICHCHNL:10");
    EXPECT_EQ(om::formatSwitchChannel(-1), "TEST_CTRL_TO_CHCU:SWICHCHNL:-1");
    EXPECT_EQ(om::formatLogDestination("192.168.100.200", 45300),
              "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:192.168.100.200,45300");
    EXPECT_EQ(om::formatAirLogOn("10.0.0.5", 70000), "TEST_CTRL_TO_CHCU:AILOGON:10.0.0.5,70000");
}

TEST(OmCommandFormat, LongTextsAreCutAt63Characters) {
    const std::string longAddress(40, '1');
    const std::string text = om::formatLogDestination(longAddress, 2147483647);
    ASSERT_EQ(text.size(), 63u);
    EXPECT_EQ(text, "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:" + longAddress.substr(0, 31));
    EXPECT_EQ(om::formatSetPll(om::PllTarget::Rx, -2147483647 - 1, -2147483647 - 1),
              "TEST_CTRL_TO_CHCU:SETPLL:RX:-2147483648,-2147483648"); // 51 characters: not cut
}

// Every command the monitor has, sent on a connected link, read back byte for byte in order.
TEST(OmCommandWire, EveryCommandIsOneUnterminatedText) {
    LinkRig rig("127.0.2.10");
    ASSERT_TRUE(rig.connect());
    OmLink& link = rig.link;

    const std::vector<std::pair<std::function<void()>, std::string>> commands = {
        {[&] { om::sendHeartbeat(link); }, "TEST_CHCU_TO_OAM:HEARTBEAT;"},
        {[&] { om::sendAlarmQuery(link); }, "TEST_CTRL_TO_CHCU:ALARMQUERY:"},
        {[&] { om::sendLogDestination(link, "127.0.2.10", 45300); },
         "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.2.10,45300"},
        {[&] { om::sendSwitchChannel(link, 10); }, "TEST_CTRL_TO_CHCU:SWICHCHNL:10"},
        {[&] { om::sendSetPll(link, om::PllTarget::Rx, 0, 438500000); },
         "TEST_CTRL_TO_CHCU:SETPLL:RX:0,438500000"},
        {[&] { om::sendSetPll(link, om::PllTarget::Tx, 2, 0); }, "TEST_CTRL_TO_CHCU:SETPLL:TX:2,0"},
        {[&] { om::sendCommand(link, om::kPaOn); }, "TEST_CTRL_TO_CHCU:PA:ON"},
        {[&] { om::sendCommand(link, om::kPaOff); }, "TEST_CTRL_TO_CHCU:PA:OFF"},
        {[&] { om::sendCommand(link, om::kReset12p8); }, "TEST_CTRL_TO_CHCU:RESET12P8:"},
        {[&] { om::sendCommand(link, om::kInitAd9864); }, "TEST_CTRL_TO_CHCU:INITAD9864:"},
        {[&] { om::sendCommand(link, om::kResetBpf); }, "TEST_CTRL_TO_CHCU:RESETBPF:"},
        {[&] { om::sendCommand(link, om::kResetDspRx); }, "TEST_CTRL_TO_CHCU:RESETDSPRX:"},
        {[&] { om::sendCommand(link, om::kDspLogOn); }, "TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON"},
        {[&] { om::sendCommand(link, om::kDspLogOff); }, "TEST_CTRL_TO_CHCU:CTRLDSPLOG:OFF"},
        {[&] { om::sendCommand(link, om::kDspLinkLogOn); }, "TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:ON"},
        {[&] { om::sendCommand(link, om::kDspLinkLogOff); }, "TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:OFF"},
        {[&] { om::sendCommand(link, om::kRebootRepeater); }, "TEST_CTRL_TO_CHCU:REBOOTREPEATER:"},
        {[&] { om::sendCommand(link, om::kShowSwVersion); }, "TEST_CTRL_TO_CHCU:SHOWSWVER:"},
        {[&] { om::sendCommand(link, om::kShowArmState); }, "TEST_CTRL_TO_CHCU:SHOWARMSTATE:"},
        {[&] { om::sendCommand(link, om::kShowDspState); }, "TEST_CTRL_TO_CHCU:SHOWDSPSTATE:"},
        {[&] { om::sendCommand(link, om::kShowAlarmState); }, "TEST_CTRL_TO_CHCU:SHOWALARMSTATE:"},
        {[&] { om::sendCommand(link, om::kListChannel); }, "TEST_CTRL_TO_CHCU:LISTCHANNEL:"},
        {[&] { om::sendAirLogOn(link, "127.0.2.10", 70000); }, "TEST_CTRL_TO_CHCU:AILOGON:127.0.2.10,70000"},
        {[&] { om::sendAirLogOff(link); }, "TEST_CTRL_TO_CHCU:AILOGOFF"},
    };
    for (const auto& [send, expected] : commands) {
        send();
        EXPECT_EQ(rig.peer->read(expected.size()), expected);
    }
    EXPECT_EQ(rig.peer->read(1, 100ms), "") << "bytes after the last command";
}

TEST(OmCommandWire, FixedLengthsOfTheLinkChecks) {
    LinkRig rig("127.0.2.11");
    ASSERT_TRUE(rig.connect());
    om::sendHeartbeat(rig.link);
    EXPECT_EQ(rig.peer->read(64, 200ms).size(), 27u);
    om::sendAlarmQuery(rig.link);
    EXPECT_EQ(rig.peer->read(64, 200ms).size(), 29u);
}

TEST(OmCommandWire, NothingIsSentWithoutASocket) {
    LinkRig rig("127.0.2.13");
    // Not started: there is no socket at all.
    EXPECT_FALSE(rig.link.hasSocket());
    EXPECT_FALSE(rig.link.send("TEST_CTRL_TO_CHCU:PA:ON"));
    om::sendHeartbeat(rig.link);
    om::sendCommand(rig.link, om::kPaOn);
    EXPECT_FALSE(rig.peer->accept(100ms));

    ASSERT_TRUE(rig.connect());
    rig.link.stopOmLink();
    EXPECT_FALSE(rig.link.hasSocket());
    om::sendHeartbeat(rig.link);
    om::sendAlarmQuery(rig.link);
    om::sendCommand(rig.link, om::kRebootRepeater);
    om::sendSwitchChannel(rig.link, 3);
    EXPECT_EQ(rig.peer->readUntilClosed(2s), "") << "sent after stop";
}

// Stuffs the link's socket until the kernel takes no more: the stand-in reads nothing meanwhile.
bool fillSendBuffer(OmLink& link) {
    const std::string block(16 * 1024, 'f');
    for (int i = 0; i < 10'000 && link.send(block); ++i) {
    }
    for (int i = 0; i < 1'000'000; ++i)
        if (!link.send(om::kPaOn))
            return true;
    return false;
}

// Fills the buffer and runs the link check until it meets a full buffer (the receiving side may free a
// little room between the two); true once the check dropped the link.
bool dropByFailedCheck(OmLink& link, void (*check)(OmLink&)) {
    for (int attempt = 0; attempt < 100 && link.hasSocket(); ++attempt) {
        if (!fillSendBuffer(link))
            return false;
        check(link);
    }
    return !link.hasSocket();
}

TEST(OmCommandPolicy, AnOrdinaryFailedSendKeepsTheLink) {
    LinkRig rig("127.0.2.14");
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(fillSendBuffer(rig.link));
    for (int i = 0; i < 100; ++i) {
        om::sendCommand(rig.link, om::kPaOff);
        om::sendSwitchChannel(rig.link, 1);
    }
    EXPECT_TRUE(rig.link.hasSocket());
    EXPECT_FALSE(rig.window.waitForCount(NotifyOmDisconnected, 1, 200ms));
    EXPECT_FALSE(rig.peer->accept(10ms)) << "the link reconnected";
}

TEST(OmCommandPolicy, AFailedLinkCheckDropsTheLinkAndTheTaskReconnects) {
    LinkRig rig("127.0.2.12");
    ASSERT_TRUE(rig.connect());

    ASSERT_TRUE(dropByFailedCheck(rig.link, om::sendHeartbeat));
    EXPECT_TRUE(rig.window.waitForCount(NotifyOmDisconnected, 1));
    ASSERT_TRUE(rig.peer->accept());
    ASSERT_TRUE(rig.window.waitForCount(NotifyOmConnected, 2));

    // The same for the alarm query, on the new connection.
    ASSERT_TRUE(dropByFailedCheck(rig.link, om::sendAlarmQuery));
    EXPECT_TRUE(rig.window.waitForCount(NotifyOmDisconnected, 2));
    ASSERT_TRUE(rig.peer->accept());
    EXPECT_TRUE(rig.window.waitForCount(NotifyOmConnected, 3));
}

} // namespace
} // namespace tavrel

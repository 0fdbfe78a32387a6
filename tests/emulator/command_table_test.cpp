// The emulator's own command table: every text the monitor may send, and near misses that must be unknown.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "emulator/command_table.h"
#include "protocol/om_command_splitter.h"

namespace tavrel::emulator {
namespace {

TEST(EmulatorCommandTable, EveryFixedTextIsKnownAndComplete) {
    const std::vector<std::pair<std::string, CommandKind>> texts{
        {"TEST_CHCU_TO_OAM:HEARTBEAT;", CommandKind::Heartbeat},
        {"TEST_CTRL_TO_CHCU:PA:ON", CommandKind::PaOn},
        {"TEST_CTRL_TO_CHCU:PA:OFF", CommandKind::PaOff},
        {"TEST_CTRL_TO_CHCU:RESET12P8:", CommandKind::Reset12p8},
        {"TEST_CTRL_TO_CHCU:INITAD9864:", CommandKind::InitAd9864},
        {"TEST_CTRL_TO_CHCU:RESETBPF:", CommandKind::ResetBpf},
        {"TEST_CTRL_TO_CHCU:RESETDSPRX:", CommandKind::ResetDspReceiver},
        {"TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON", CommandKind::DspLogOn},
        {"TEST_CTRL_TO_CHCU:CTRLDSPLOG:OFF", CommandKind::DspLogOff},
        {"TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:ON", CommandKind::DspLinkLogOn},
        {"TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:OFF", CommandKind::DspLinkLogOff},
        {"TEST_CTRL_TO_CHCU:REBOOTREPEATER:", CommandKind::Reboot},
        {"TEST_CTRL_TO_CHCU:SHOWSWVER:", CommandKind::ShowSoftwareVersion},
        {"TEST_CTRL_TO_CHCU:SHOWARMSTATE:", CommandKind::ShowArmState},
        {"TEST_CTRL_TO_CHCU:SHOWDSPSTATE:", CommandKind::ShowDspState},
        {"TEST_CTRL_TO_CHCU:SHOWALARMSTATE:", CommandKind::ShowAlarmState},
        {"TEST_CTRL_TO_CHCU:ALARMQUERY:", CommandKind::AlarmQuery},
        {"TEST_CTRL_TO_CHCU:LISTCHANNEL:", CommandKind::ListChannels},
        {"TEST_CTRL_TO_CHCU:AILOGOFF", CommandKind::AirLogOff},
    };
    for (const auto& [text, kind] : texts) {
        EXPECT_EQ(parseCommand(text).kind, kind) << text;
        // The shared splitter takes each of the repeater's fixed texts at once.
        EXPECT_TRUE(om::isCompleteFixedCommand(text)) << text;
    }
    EXPECT_EQ(std::string("TEST_CHCU_TO_OAM:HEARTBEAT;").size(), 27u);
}

TEST(EmulatorCommandTable, ArgumentsAreParsed) {
    const Command logDestination = parseCommand("TEST_CTRL_TO_CHCU:SETLOGDST:UDP:192.168.10.20,4100");
    EXPECT_EQ(logDestination.kind, CommandKind::SetLogDestination);
    EXPECT_EQ(logDestination.address, "192.168.10.20");
    EXPECT_EQ(logDestination.number, 4100);

    const Command airLog = parseCommand("TEST_CTRL_TO_CHCU:AILOGON:10.1.2.3,70000");
    EXPECT_EQ(airLog.kind, CommandKind::AirLogOn);
    EXPECT_EQ(airLog.address, "10.1.2.3");
    EXPECT_EQ(airLog.number, 70000);

    const Command channel = parseCommand("TEST_CTRL_TO_CHCU:SWICHCHNL:15");
    EXPECT_EQ(channel.kind, CommandKind::SwitchChannel);
    EXPECT_EQ(channel.number, 15);

    const Command pll = parseCommand("TEST_CTRL_TO_CHCU:SETPLL:TX:0,438500000");
    EXPECT_EQ(pll.kind, CommandKind::SetTxPll);
    EXPECT_EQ(pll.number, 0);
    EXPECT_EQ(pll.frequency, 438500000);
    EXPECT_EQ(parseCommand("TEST_CTRL_TO_CHCU:SETPLL:RX:2,0").kind, CommandKind::SetRxPll);
    EXPECT_EQ(parseCommand("TEST_CTRL_TO_CHCU:SWICHCHNL:-1").number, -1);
}

TEST(EmulatorCommandTable, NearMissesAreUnknown) {
    const std::vector<std::string> wrong{
        "TEST_CTRL_TO_CHCU:ALARMQUERY",               // colon missing
        "TEST_CTRL_TO_CHCU:ALARMQUERY:\r\n",          // line end
        std::string("TEST_CTRL_TO_CHCU:PA:ON\0", 24), // terminator
        "TEST_CTRL_TO_CHCU:pa:on",
        "TEST_CHCU_TO_OAM:HEARTBEAT",
        "TEST_CTRL_TO_CHCU:AILOGOFF:",
        "TEST_CTRL_TO_CHCU:SWITCHCHNL:3", // the repeater's spelling is SWICHCHNL
        "TEST_CTRL_TO_CHCU:SWICHCHNL:",
        "TEST_CTRL_TO_CHCU:SWICHCHNL:+3",
        "TEST_CTRL_TO_CHCU:SWICHCHNL: 3",
        "TEST_CTRL_TO_CHCU:SWICHCHNL:3x",
        "TEST_CTRL_TO_CHCU:SWICHCHNL:99999999999",
        "TEST_CTRL_TO_CHCU:SETPLL:RX:1",
        "TEST_CTRL_TO_CHCU:SETPLL:RX:1,",
        "TEST_CTRL_TO_CHCU:SETLOGDST:127.0.0.1,4000", // "UDP:" missing
        "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.0,4000",
        "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:localhost,4000",
        "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.000.000.001,4000",
        "TEST_CTRL_TO_CHCU:AILOGON:10.0.0.1",
        "TEST_CTRL_TO_CHCU:AILOGON:10.0.0.1,4000,5",
        "",
    };
    for (const auto& text : wrong)
        EXPECT_EQ(parseCommand(text).kind, CommandKind::Unknown) << text;
}

} // namespace
} // namespace tavrel::emulator

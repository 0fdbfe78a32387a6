// The emulated repeater's state: channel, PLL lock alarms, destinations, reboot and the query reports.
#include <gtest/gtest.h>

#include <algorithm>

#include "emulator/repeater_model.h"

namespace tavrel::emulator {
namespace {

using namespace std::chrono_literals;

std::string applyText(RepeaterModel& model, const std::string& text) {
    return model.apply(parseCommand(text), text, 42s);
}

TEST(EmulatorModel, ChannelSwitchRetunesBothPllsAndRejectsOutOfRange) {
    RepeaterModel model;
    EXPECT_EQ(applyText(model, "TEST_CTRL_TO_CHCU:SWICHCHNL:10"),
              "CHANNEL: switched to channel 10, Tx 439.2250 MHz, Rx 431.6250 MHz");
    EXPECT_EQ(model.channel(), 10);
    EXPECT_EQ(model.txPll().frequencyHz, 439'225'000);
    EXPECT_EQ(model.rxPll().frequencyHz, 431'625'000);
    EXPECT_EQ(applyText(model, "TEST_CTRL_TO_CHCU:SWICHCHNL:16"), "CHANNEL: channel 16 rejected, valid 0-15");
    EXPECT_EQ(model.channel(), 10);
}

TEST(EmulatorModel, PllOutsideItsBandRaisesItsAlarmUntilRetuned) {
    RepeaterModel model;
    model.setExternalAlarmBits(kAlarmVswr);
    applyText(model, "TEST_CTRL_TO_CHCU:SETPLL:TX:0,300000000");
    EXPECT_FALSE(model.txPll().locked);
    EXPECT_EQ(model.alarmBits(), kAlarmVswr | kAlarmTxPll);
    // "VCO only" keeps the frequency, so the loop stays unlocked.
    EXPECT_NE(applyText(model, "TEST_CTRL_TO_CHCU:SETPLL:TX:2,0").find("UNLOCKED"), std::string::npos);
    applyText(model, "TEST_CTRL_TO_CHCU:SETPLL:TX:0,438500000");
    EXPECT_EQ(model.alarmBits(), kAlarmVswr);

    EXPECT_EQ(applyText(model, "TEST_CTRL_TO_CHCU:SETPLL:RX:0,0"), "RX PLL: frequency 0 Hz rejected");
    EXPECT_EQ(applyText(model, "TEST_CTRL_TO_CHCU:SETPLL:RX:4,0"), "RX PLL: operation 4 rejected, valid 0-3");
    EXPECT_EQ(model.rxPll().frequencyHz, 431'500'000);
}

TEST(EmulatorModel, DestinationsUseThePortsLow16BitsAndRebootForgetsThem) {
    RepeaterModel model;
    applyText(model, "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:10.0.0.9,70000");
    ASSERT_TRUE(model.logDestination());
    EXPECT_EQ(model.logDestination()->text(), "10.0.0.9:4464");
    applyText(model, "TEST_CTRL_TO_CHCU:AILOGON:10.0.0.9,65536");
    EXPECT_FALSE(model.airDestination()) << "port 0 cannot be sent to";
    applyText(model, "TEST_CTRL_TO_CHCU:AILOGON:10.0.0.9,4001");
    EXPECT_TRUE(model.airDestination());
    applyText(model, "TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON");
    applyText(model, "TEST_CTRL_TO_CHCU:PA:OFF");
    EXPECT_TRUE(model.dspLog());

    model.reboot();
    EXPECT_FALSE(model.logDestination());
    EXPECT_FALSE(model.airDestination());
    EXPECT_FALSE(model.dspLog());
    EXPECT_TRUE(model.paOn());
    applyText(model, "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:10.0.0.9,4000");
    applyText(model, "TEST_CTRL_TO_CHCU:AILOGON:10.0.0.9,4001");
    applyText(model, "TEST_CTRL_TO_CHCU:AILOGOFF");
    EXPECT_FALSE(model.airDestination());
}

TEST(EmulatorModel, ReportsAndStatusShowTheState) {
    RepeaterModel model;
    model.setExternalAlarmBits(kAlarmTemperature | kAlarmDcVolt);
    applyText(model, "TEST_CTRL_TO_CHCU:SWICHCHNL:3");
    applyText(model, "TEST_CTRL_TO_CHCU:PA:OFF");

    const std::string alarms = applyText(model, "TEST_CTRL_TO_CHCU:SHOWALARMSTATE:");
    EXPECT_EQ(alarms, "ALARM STATE 0x12\n  V-SWR   : normal\n  Temper  : ALARM\n  Rx PLL  : normal\n"
                      "  Tx PLL  : normal\n  DC Volt : ALARM");
    const std::string channels = applyText(model, "TEST_CTRL_TO_CHCU:LISTCHANNEL:");
    EXPECT_NE(channels.find("\n  * CH03  Tx 439.1375 MHz  Rx 431.5375 MHz"), std::string::npos);
    EXPECT_EQ(std::count(channels.begin(), channels.end(), '\n'), 16);
    const std::string arm = applyText(model, "TEST_CTRL_TO_CHCU:SHOWARMSTATE:");
    EXPECT_TRUE(arm.starts_with("ARM STATE\n  uptime      : 42 s\n  channel     : 3\n"));
    EXPECT_TRUE(applyText(model, "TEST_CTRL_TO_CHCU:SHOWSWVER:").starts_with("SW VERSION\n"));
    EXPECT_TRUE(applyText(model, "TEST_CTRL_TO_CHCU:SHOWDSPSTATE:").starts_with("DSP STATE\n"));

    const std::string status = model.statusLine(17s);
    EXPECT_TRUE(status.starts_with("ALIVE uptime=17s ch=3 pa=off alarm=0x12 temp=")) << status;
    EXPECT_EQ(applyText(model, std::string("TEST_CTRL_TO_CHCU:PA:ON\0", 24)),
              "OAM: unknown command \"TEST_CTRL_TO_CHCU:PA:ON\\x00\"");
}

} // namespace
} // namespace tavrel::emulator

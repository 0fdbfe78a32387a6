// The lamp state on its own: the lamp table, the blink sequence and connection changes (the window tests
// drive the alarm edge cases through the real window).
#include <gtest/gtest.h>

#include "session/alarm_lamps.h"

namespace tavrel {
namespace {

constexpr int kVswr = 0, kTemper = 1, kRxPll = 2, kTxPll = 3, kDcVolt = 4;

std::array<LampIcon, kLampCount> all(LampIcon icon) {
    std::array<LampIcon, kLampCount> icons{};
    icons.fill(icon);
    return icons;
}

AlarmLamps connectedLamps() {
    AlarmLamps lamps;
    lamps.onConnected();
    return lamps;
}

TEST(MonitorAlarmLamps, LampsFollowTheTemplateOrderOfBitsAndLabels) {
    EXPECT_EQ(kLamps[kVswr].alarmBit, 0x01);
    EXPECT_EQ(kLamps[kVswr].label, "V-SWR");
    EXPECT_EQ(kLamps[kTemper].alarmBit, 0x02);
    EXPECT_EQ(kLamps[kTemper].label, "Temper");
    EXPECT_EQ(kLamps[kRxPll].alarmBit, 0x04);
    EXPECT_EQ(kLamps[kRxPll].label, "Rx PLL");
    EXPECT_EQ(kLamps[kTxPll].alarmBit, 0x08);
    EXPECT_EQ(kLamps[kTxPll].label, "Tx PLL");
    EXPECT_EQ(kLamps[kDcVolt].alarmBit, 0x10);
    EXPECT_EQ(kLamps[kDcVolt].label, "DC Volt");
}

TEST(MonitorAlarmLamps, AlarmedLampBlinksWhileAutoAndOthersStayNormal) {
    AlarmLamps lamps = connectedLamps();
    EXPECT_EQ(lamps.icons(), all(LampIcon::Normal));
    EXPECT_EQ(lamps.blinkPhase(), 1);

    lamps.applyReport(0x04);
    EXPECT_EQ(lamps.icon(kRxPll), LampIcon::Normal) << "a set bit waits for the next tick";
    lamps.paintTick(true);
    EXPECT_EQ(lamps.icon(kRxPll), LampIcon::AlarmB);
    EXPECT_EQ(lamps.blinkPhase(), 0);
    lamps.paintTick(true);
    EXPECT_EQ(lamps.icon(kRxPll), LampIcon::AlarmA);
    lamps.paintTick(true);
    EXPECT_EQ(lamps.icon(kRxPll), LampIcon::AlarmB);
    for (int lamp : {kVswr, kTemper, kTxPll, kDcVolt})
        EXPECT_EQ(lamps.icon(lamp), LampIcon::Normal);
}

TEST(MonitorAlarmLamps, ConnectionChangesResetTheLamps) {
    AlarmLamps lamps;
    EXPECT_EQ(lamps.icons(), all(LampIcon::Off));

    lamps.onConnected();
    lamps.applyReport(0x1F);
    lamps.paintTick(true);
    lamps.onDisconnected();
    EXPECT_EQ(lamps.icons(), all(LampIcon::Off));
    EXPECT_EQ(lamps.alarmBits(), 0x1F) << "the last report is kept while the link is down";

    lamps.onConnected();
    EXPECT_EQ(lamps.icons(), all(LampIcon::Normal));
    EXPECT_EQ(lamps.alarmBits(), 0);
    EXPECT_EQ(lamps.blinkPhase(), 1);
    lamps.paintTick(true);
    EXPECT_EQ(lamps.icons(), all(LampIcon::Normal));
}

} // namespace
} // namespace tavrel

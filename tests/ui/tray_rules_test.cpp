// The tray without a tray: picture, tooltip and when a desktop notification is due.
#include "ui/tray_rules.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

using namespace std::chrono_literals;

TEST(TrayRules, PictureAndToolTipFollowTheLinkAndTheAlarms) {
    EXPECT_EQ(trayPicture(false, 0x04), TrayPicture::Off) << "the last report is unknown while down";
    EXPECT_EQ(trayPicture(true, 0), TrayPicture::Normal);
    EXPECT_EQ(trayPicture(true, 0x40), TrayPicture::Normal) << "a bit no lamp shows";
    EXPECT_EQ(trayPicture(true, 0x10), TrayPicture::Alarm);
    EXPECT_EQ(trayToolTip("10.0.1.5", false, 0x04), "Tavrel: repeater 10.0.1.5\nLink down");
    EXPECT_EQ(trayToolTip("10.0.1.5", true, 0), "Tavrel: repeater 10.0.1.5\nNo alarm");
    EXPECT_EQ(trayToolTip("10.0.1.5", true, 0x0C), "Tavrel: repeater 10.0.1.5\nAlarms: Rx PLL, Tx PLL");
}

TEST(TrayRules, NotifiesAlarmsComingOnAndALinkDownForTenSecondsAndItsReturn) {
    TrayNotices notices("10.0.1.5");
    const WallClock::time_point t0{1000000s};
    const auto transition = [&](int lamp, AlarmTransition::Kind kind, std::chrono::seconds at = 0s) {
        return notices.onAlarmTransition({lamp, kind, t0 + at});
    };
    using Kind = AlarmTransition::Kind;

    const auto raised = transition(2, Kind::Raised);
    ASSERT_TRUE(raised);
    EXPECT_EQ(*raised, (TrayMessage{"Rx PLL alarm", "Repeater 10.0.1.5: ALARM Rx PLL raised", true}));
    EXPECT_FALSE(transition(2, Kind::Active, 5s)) << "still on after a reconnection: known already";
    EXPECT_FALSE(transition(2, Kind::Cleared, 10s));
    EXPECT_FALSE(transition(2, Kind::Raised, 59s)) << "flapping: told once a minute";
    EXPECT_FALSE(transition(2, Kind::Cleared, 60s));
    EXPECT_TRUE(transition(2, Kind::Active, 60s)) << "found on again a minute after it was told";
    EXPECT_TRUE(transition(0, Kind::Active)) << "found on at the run's first report";

    // A blip of 9 s passes unnoticed; a loss of 10 s is told once, and then its end.
    EXPECT_FALSE(notices.onConnectionChanged(false, t0));
    EXPECT_FALSE(notices.onTick(t0 + 9s));
    EXPECT_FALSE(notices.onConnectionChanged(true, t0 + 9s));
    EXPECT_FALSE(notices.onConnectionChanged(false, t0 + 20s));
    EXPECT_FALSE(notices.onTick(t0 + 29s));
    const auto down = notices.onTick(t0 + 30s);
    ASSERT_TRUE(down);
    EXPECT_EQ(*down, (TrayMessage{"Link down", "Repeater 10.0.1.5 has been unreachable for 00:00:10", true}));
    EXPECT_FALSE(notices.onTick(t0 + 31s));
    const auto back = notices.onConnectionChanged(true, t0 + 40s);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, (TrayMessage{"Link back", "Repeater 10.0.1.5 is connected again", false}));

    // Turned off: nothing, and a loss untold meanwhile has no "back" either.
    notices.setEnabled(false);
    EXPECT_FALSE(transition(3, Kind::Raised));
    EXPECT_FALSE(notices.onConnectionChanged(false, t0 + 50s));
    EXPECT_FALSE(notices.onTick(t0 + 70s));
    EXPECT_FALSE(notices.onConnectionChanged(true, t0 + 80s));
    notices.setEnabled(true);
    EXPECT_FALSE(transition(3, Kind::Raised)) << "known on while notices were off";
}

} // namespace
} // namespace tavrel

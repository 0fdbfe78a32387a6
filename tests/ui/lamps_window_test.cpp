// The alarm lamps of the real window: reports, paint ticks and the "Auto" switch, handlers called directly.
#include <QCheckBox>
#include <QToolButton>

#include "tests/ui/window_fixture.h"
#include "ui/lamp_icons.h"

namespace tavrel::test {
namespace {

constexpr int kRxPll = 2;

using MonitorLamps = MonitorWindowTest;

TEST(MonitorLampIcons, FourDistinctPicturesAndTheApplicationIconLoad) {
    const LampIconSet icons;
    std::vector<QImage> pictures;
    for (LampIcon which : {LampIcon::Off, LampIcon::Normal, LampIcon::AlarmA, LampIcon::AlarmB}) {
        const QImage picture = icons.icon(which).pixmap(kIconSizePx).toImage();
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.size(), QSize(kIconSizePx, kIconSizePx));
        for (const QImage& other : pictures)
            EXPECT_NE(picture, other);
        pictures.push_back(picture);
    }
    EXPECT_FALSE(applicationIcon().isNull());
}

TEST_F(MonitorLamps, AlarmReportOfABitWithoutLampKeepsTheBlinkGoing) {
    CTavrelDlg& w = open(15);
    deliver(w.session(), NotifyOmConnected);
    deliver(w.session(), NotifyOmData, textPayload("xxALARMSTATE:32yy"));
    EXPECT_EQ(w.lamps().alarmBits(), 32);
    for (int phase : {0, 1, 0}) {
        w.onLampTick();
        EXPECT_EQ(lamps(w), all(LampIcon::Normal));
        EXPECT_EQ(w.lamps().blinkPhase(), phase);
    }
}

TEST_F(MonitorLamps, ChunkWithoutReportChangesNothing) {
    CTavrelDlg& w = open(16);
    deliver(w.session(), NotifyOmConnected);
    deliver(w.session(), NotifyOmData, textPayload("ALARMSTATE:4"));
    deliver(w.session(), NotifyOmData, textPayload("ALARMST"));
    deliver(w.session(), NotifyOmData, textPayload("ATE:1"));
    EXPECT_EQ(w.lamps().alarmBits(), 4);
}

TEST_F(MonitorLamps, ClearedAlarmTurnsNormalAtOnceAndTheOtherKeepsBlinking) {
    CTavrelDlg& w = open(17);
    deliver(w.session(), NotifyOmConnected);
    deliver(w.session(), NotifyOmData, textPayload("ALARMSTATE:3"));
    w.onLampTick();
    EXPECT_EQ(w.lampIcon(0), LampIcon::AlarmB);
    EXPECT_EQ(w.lampIcon(1), LampIcon::AlarmB);
    w.onLampTick();
    EXPECT_EQ(w.lampIcon(0), LampIcon::AlarmA);

    deliver(w.session(), NotifyOmData, textPayload("ALARMSTATE:1"));
    EXPECT_EQ(w.lampIcon(1), LampIcon::Normal);
    w.onLampTick();
    EXPECT_EQ(w.lampIcon(0), LampIcon::AlarmB);
    w.onLampTick();
    EXPECT_EQ(w.lampIcon(0), LampIcon::AlarmA);
    EXPECT_EQ(w.lampIcon(1), LampIcon::Normal);
}

TEST_F(MonitorLamps, UncheckingAutoMakesTheAlarmSteady) {
    CTavrelDlg& w = open(18);
    deliver(w.session(), NotifyOmConnected);
    deliver(w.session(), NotifyOmData, textPayload("ALARMSTATE:4"));
    w.onLampTick();
    w.onLampTick();
    ASSERT_EQ(w.lampIcon(kRxPll), LampIcon::AlarmA);

    w.autoCheck()->click();
    ASSERT_FALSE(w.autoCheck()->isChecked());
    for (int tick = 0; tick < 3; ++tick) {
        w.onLampTick();
        EXPECT_EQ(w.lampIcon(kRxPll), LampIcon::AlarmB);
    }
    // The rendered picture is the steady alarm picture.
    LampIconSet icons;
    EXPECT_EQ(w.lampButton(kRxPll)->icon().pixmap(32).toImage(),
              icons.icon(LampIcon::AlarmB).pixmap(32).toImage());
    EXPECT_NE(w.lampButton(0)->icon().pixmap(32).toImage(),
              icons.icon(LampIcon::AlarmB).pixmap(32).toImage());
}

} // namespace
} // namespace tavrel::test

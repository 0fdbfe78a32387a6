// The main window's status bar and tray: what they show of the session, when the tray notifies, and
// that a desktop without a tray stays quiet.
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QToolButton>

#include "tests/session/utc_zone.h"
#include "tests/ui/window_fixture.h"
#include "ui/desktop_tray.h"
#include "ui/dialog_units.h"
#include "ui/monitor_ids.h"
#include "ui/run_status_bar.h"

namespace tavrel::test {
namespace {

using namespace std::chrono_literals;

// Records what the window shows in the tray and notifies through it.
class RecordedTray : public TraySink {
public:
    struct Shown {
        TrayPicture picture;
        std::string toolTip;
    };
    RecordedTray(std::vector<Shown>& shown, std::vector<std::string>& messages)
        : m_shown(shown), m_messages(messages) {}
    void show(TrayPicture picture, const QString& toolTip) override {
        m_shown.push_back({picture, toolTip.toStdString()});
    }
    void notify(const TrayMessage& message) override {
        m_messages.push_back(message.title + ": " + message.text);
    }

private:
    std::vector<Shown>& m_shown;
    std::vector<std::string>& m_messages;
};

class StatusAndTray : public MonitorWindowTest {
protected:
    std::string link() const { return window->runStatusBar()->linkLabel()->text().toStdString(); }
    std::string counts() const { return window->runStatusBar()->countsLabel()->text().toStdString(); }
    std::vector<std::string> takeMessages() { return std::exchange(messages, {}); }

    UtcZone utc;
    std::vector<RecordedTray::Shown> shown;
    std::vector<std::string> messages;
};

TEST_F(StatusAndTray, StatusBarShowsTheLinkTheCountsAndOpensTheLogFolder) {
    CTavrelDlg& w = open(61);
    EXPECT_EQ(link(), "Connecting for 00:00:00");
    wallNow += 3s;
    w.onStatusTick();
    EXPECT_EQ(link(), "Connecting for 00:00:03");

    deliver(w.session(), NotifyOmConnected);
    EXPECT_EQ(link(), "Connected since 23:00:03") << "told at once, not at the next tick";
    deliver(w.session(), NotifyRepeaterLog, textPayload("a log line"));
    deliver(w.session(), NotifyRepeaterLog, textPayload("another"));
    deliver(w.session(), NotifyAirLogRecord, Payload(44, 0));
    wallNow += 1h;
    w.onStatusTick();
    EXPECT_EQ(link(), "Connected since 23:00:03");
    EXPECT_EQ(counts(), "Log lines: 2  Air records: 1");
    // Connected, the tick comes once per counts period; one that comes a little early shows them still.
    deliver(w.session(), NotifyRepeaterLog, textPayload("one more"));
    wallNow += RunStatusBar::kCountsPeriod - 100ms;
    w.onStatusTick();
    EXPECT_EQ(counts(), "Log lines: 3  Air records: 1");
    deliver(w.session(), NotifyOmDisconnected);
    wallNow += 41s;
    w.onStatusTick();
    EXPECT_EQ(link(), "Reconnecting for 00:00:41");

    // The window keeps the template's width whatever the path's length.
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.width(), DialogUnits(w.font()).toPixelsX(405));
    EXPECT_EQ(w.runStatusBar()->width(), w.width());
    EXPECT_TRUE(w.runStatusBar()->isVisible());
    EXPECT_FALSE(w.runStatusBar()->viaLabel()->isVisible()) << "straight to the repeater";
    QString opened;
    w.runStatusBar()->setFolderOpener([&](const QString& folder) { return opened = folder, true; });
    QTest::mouseClick(w.runStatusBar()->runLogButton(), Qt::LeftButton);
    EXPECT_EQ(opened.toStdString(), exeDir.path() + "/log");
}

// Through a collector's relay the status bar says so; the caption still names the repeater.
TEST_F(StatusAndTray, StatusBarNamesTheRelayTheLinkGoesThrough) {
    MonitorSettings through = settingsFor(62);
    through.viaAddress = "127.0.25.20";
    through.viaPort = 2401;
    CTavrelDlg& w = openAt(through);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.runStatusBar()->viaLabel()->text().toStdString(), "via 127.0.25.20:2401");
    EXPECT_TRUE(w.runStatusBar()->viaLabel()->isVisible());
    EXPECT_TRUE(w.windowTitle().contains(QStringLiteral("127.0.4.62")));
    EXPECT_FALSE(w.windowTitle().contains(QStringLiteral("127.0.25.20")));
}

TEST_F(StatusAndTray, TrayFollowsTheSessionAndNotifiesUntilNotificationsAreTurnedOff) {
    CTavrelDlg& w = open(62);
    w.setTraySink(std::make_unique<RecordedTray>(shown, messages));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown.back().picture, TrayPicture::Off);
    EXPECT_EQ(shown.back().toolTip, "Tavrel: repeater 127.0.4.62\nLink down");

    deliver(w.session(), NotifyOmConnected);
    EXPECT_EQ(shown.back().picture, TrayPicture::Normal);
    deliver(w.session(), NotifyOmData, textPayload("ALARMSTATE:12"));
    EXPECT_EQ(shown.back().picture, TrayPicture::Alarm);
    EXPECT_EQ(shown.back().toolTip, "Tavrel: repeater 127.0.4.62\nAlarms: Rx PLL, Tx PLL");
    EXPECT_EQ(takeMessages(),
              (std::vector<std::string>{"Rx PLL alarm: Repeater 127.0.4.62: ALARM Rx PLL active",
                                        "Tx PLL alarm: Repeater 127.0.4.62: ALARM Tx PLL active"}));
    const std::size_t shownBefore = shown.size();
    for (int i = 0; i < 10; ++i)
        w.onLampTick(); // blinking lamps
    EXPECT_EQ(shown.size(), shownBefore) << "the tray is told only of changes";

    deliver(w.session(), NotifyOmDisconnected);
    EXPECT_EQ(shown.back().picture, TrayPicture::Off);
    wallNow += 9s;
    w.onStatusTick();
    EXPECT_TRUE(takeMessages().empty());
    wallNow += 1s;
    w.onStatusTick();
    EXPECT_EQ(takeMessages(),
              std::vector<std::string>{"Link down: Repeater 127.0.4.62 has been unreachable for 00:00:10"});
    deliver(w.session(), NotifyOmConnected);
    EXPECT_EQ(takeMessages(), std::vector<std::string>{"Link back: Repeater 127.0.4.62 is connected again"});

    QAction* item = nullptr;
    for (QAction* action : w.menuBar()->findChildren<QAction*>())
        if (action->data().toInt() == command::kNotifications)
            item = action;
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isCheckable());
    EXPECT_TRUE(item->isChecked());
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(w.notificationsEnabled());
    deliver(w.session(), NotifyOmData, textPayload("ALARMSTATE:16"));
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_EQ(shown.back().toolTip, "Tavrel: repeater 127.0.4.62\nAlarms: DC Volt")
        << "the tray still follows";
}

TEST_F(StatusAndTray, WithoutATrayNothingBreaksAndNothingIsPrinted) {
    static std::vector<std::string> printed;
    printed.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            printed.push_back(text.toStdString());
        });
    {
        CTavrelDlg& w = open(63); // offscreen: no tray
        deliver(w.session(), NotifyOmConnected);
        deliver(w.session(), NotifyOmData, textPayload("ALARMSTATE:4"));
        deliver(w.session(), NotifyOmDisconnected);
        for (int i = 0; i < 20; ++i) {
            wallNow += 1s;
            w.onStatusTick();
        }
        deliver(w.session(), NotifyOmConnected);
        w.onMenuCommand(command::kNotifications);
        window.reset();
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(printed.empty()) << printed.front();
}

} // namespace
} // namespace tavrel::test

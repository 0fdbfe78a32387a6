// The menu bar and timers of a window linked to a repeater stand-in: what reaches the wire, and when nothing
// does.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>

#include "protocol/om_commands.h"
#include "tests/ui/om_peer.h"
#include "tests/ui/window_fixture.h"
#include "ui/about_dlg.h"
#include "ui/air_log_dlg.h"
#include "ui/alarm_history_dlg.h"
#include "ui/pll_param_dlg.h"

namespace tavrel::test {
namespace {

constexpr std::string_view kMark = "TEST_MARK;";

QAction* menuAction(const CTavrelDlg& window, int id) {
    for (QAction* action : window.menuBar()->findChildren<QAction*>())
        if (action->data().isValid() && action->data().toInt() == id)
            return action;
    return nullptr;
}

// A window whose real link is connected to a peer on 127.0.4.<n>, with the connect-time commands read.
class MonitorMenu : public MonitorWindowTest {
protected:
    void connectTo(int n) {
        peer = std::make_unique<OmPeer>("127.0.4." + std::to_string(n));
        ASSERT_TRUE(peer->listening());
        openWithRealLink(n);
        // The link hands its first status line to the window before it connects: keep the event loop going.
        ASSERT_TRUE(waitUntil([&] { return peer->accept(std::chrono::milliseconds(0)); }));
        ASSERT_TRUE(waitUntil([&] { return window->session().connected(); }));
        const std::string local = "127.0.4." + std::to_string(100 + n);
        // The heartbeat at once, then the log destination from the log receiver's start.
        EXPECT_EQ(peer->readThrough("SETLOGDST:UDP:" + local + ",44320"),
                  "TEST_CHCU_TO_OAM:HEARTBEAT;TEST_CTRL_TO_CHCU:SETLOGDST:UDP:" + local + ",44320");
    }

    // Everything the window sent since the last call: a mark is sent behind it and read back.
    std::string sent() {
        session->sendCommand(kMark);
        const auto through = peer->readThrough(kMark);
        if (!through)
            return "(mark not received)";
        return through->substr(0, through->size() - kMark.size());
    }

    void trigger(int id) {
        QAction* action = menuAction(*window, id);
        ASSERT_NE(action, nullptr) << id;
        action->trigger();
    }

    std::unique_ptr<OmPeer> peer;
};

TEST_F(MonitorMenu, WhileDisconnectedNoItemSendsAndOnlyTheMonitorControlItemsAct) {
    connectTo(31);
    deliver(window->session(), NotifyOmDisconnected); // ConnectedFlag 0 while the socket is still up
    ASSERT_FALSE(viewText(*window).empty());
    for (const MenuItem& item : kMenuTable)
        trigger(item.id); // the PLL items open no dialog, so nothing here waits
    EXPECT_EQ(sent(), "");
    EXPECT_EQ(viewText(*window), "") << "Clear Log works in any state";
    ASSERT_NE(window->alarmHistoryDlg(), nullptr);
    EXPECT_TRUE(window->alarmHistoryDlg()->isVisible()) << "so does Alarm History";
    EXPECT_FALSE(window->notificationsEnabled()) << "and Notifications";
    EXPECT_FALSE(menuAction(*window, command::kNotifications)->isChecked());
    EXPECT_FALSE(window->airLogDlg()->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MonitorMenu, Channel10SendsExactlyItsCommand) {
    connectTo(32);
    trigger(32808);
    EXPECT_EQ(sent(), "TEST_CTRL_TO_CHCU:SWICHCHNL:10");
    trigger(command::kReboot);
    EXPECT_EQ(sent(), "TEST_CTRL_TO_CHCU:REBOOTREPEATER:");
}

TEST_F(MonitorMenu, EveryPlainItemSendsItsCommandOnce) {
    connectTo(33);
    for (const MenuItem& item : kMenuTable) {
        if (item.action != MenuAction::SendCommand && item.action != MenuAction::SwitchChannel)
            continue;
        trigger(item.id);
        const std::string expected = item.action == MenuAction::SendCommand
                                         ? std::string(item.command)
                                         : "TEST_CTRL_TO_CHCU:SWICHCHNL:" + std::to_string(item.channel);
        EXPECT_EQ(sent(), expected) << item.text;
    }
}

TEST_F(MonitorMenu, AirLoggingOnAndOffSwitchTheRepeaterAndTheWindow) {
    connectTo(34);
    CAirLogDlg* air = window->airLogDlg();
    air->addRecordLine(0, QStringLiteral("old downlink"));
    air->addRecordLine(1, QStringLiteral("old uplink"));

    trigger(command::kAirLogOn);
    EXPECT_EQ(sent(), "TEST_CTRL_TO_CHCU:AILOGON:127.0.4.134,45320");
    EXPECT_EQ(air->downlinkList()->count(), 0);
    EXPECT_EQ(air->uplinkList()->count(), 0);
    EXPECT_TRUE(air->isVisible());

    air->addRecordLine(0, QStringLiteral("new"));
    trigger(command::kAirLogOn); // a second LOG On empties the lists again
    EXPECT_EQ(sent(), "TEST_CTRL_TO_CHCU:AILOGON:127.0.4.134,45320");
    EXPECT_EQ(air->downlinkList()->count(), 0);

    trigger(command::kAirLogOff);
    EXPECT_EQ(sent(), "TEST_CTRL_TO_CHCU:AILOGOFF");
    EXPECT_FALSE(air->isVisible());

    // A record still arriving after LOG Off goes to the hidden list and the data file.
    Payload record(44, 0);
    deliver(window->session(), NotifyAirLogRecord, record);
    EXPECT_EQ(air->downlinkList()->count(), 1);
    EXPECT_FALSE(readFile(window->session().runFiles().downlinkDataPath()).empty());
}

TEST_F(MonitorMenu, SetPllRunsTheDialogAndSendsOnlyWhenAccepted) {
    connectTo(35);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CPLLParamDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Rx PLL setting");
        dialog->operationList()->setCurrentIndex(1); // "Power Only"
        dialog->onSet();
    });
    trigger(command::kSetRxPll);
    // The dialog's event loop may have let a timer send its periodic command meanwhile.
    EXPECT_EQ(withoutPeriodicCommands(sent()), "TEST_CTRL_TO_CHCU:SETPLL:RX:1,0");

    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CPLLParamDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Tx PLL setting");
        dialog->reject();
    });
    trigger(command::kSetTxPll);
    EXPECT_EQ(withoutPeriodicCommands(sent()), "");
}

TEST_F(MonitorMenu, TimersSendTheirCommandsOnlyWhenDue) {
    connectTo(36);
    window->session().onTimer(100);
    EXPECT_EQ(sent(), "TEST_CHCU_TO_OAM:HEARTBEAT;");
    window->session().onTimer(101);
    EXPECT_EQ(sent(), "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.4.136,44320");
    window->session().onTimer(102);
    EXPECT_EQ(sent(), "TEST_CTRL_TO_CHCU:ALARMQUERY:");
    window->onLampTick();
    EXPECT_EQ(sent(), "");

    window->autoCheck()->setChecked(false);
    window->session().onTimer(102);
    EXPECT_EQ(sent(), "") << "no alarm queries while Auto is unchecked";

    deliver(window->session(), NotifyOmDisconnected);
    windowTimer(*window, 100)->start();
    window->session().onTimer(100);
    EXPECT_FALSE(window->session().timerActive(100));
    EXPECT_EQ(sent(), "") << "timer 100 stops itself without sending while disconnected";
}

TEST_F(MonitorMenu, ReconnectionSendsTheHeartbeatButStartsNoReceiverAgain) {
    connectTo(37);
    deliver(window->session(), NotifyRepeaterLog, textPayload("a log line"));
    ASSERT_FALSE(window->session().timerActive(101));
    deliver(window->session(), NotifyOmDisconnected);
    deliver(window->session(), NotifyOmConnected);
    EXPECT_EQ(sent(), "TEST_CHCU_TO_OAM:HEARTBEAT;") << "no SETLOGDST from a second receiver start";
    EXPECT_TRUE(window->session().timerActive(101)) << "SETLOGDST is repeated until the next log datagram";
    window->session().onTimer(101);
    EXPECT_EQ(sent(), "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.4.137,44320");
}

TEST_F(MonitorMenu, MenuBarIsBuiltFromTheTableWithHelpAboutAtTheEnd) {
    open(38);
    QStringList titles;
    for (QAction* top : window->menuBar()->actions())
        titles << top->text();
    EXPECT_EQ(titles,
              (QStringList{"Repeater Control", "State Query", "AIR Logging", "Monitor Control", "Help"}));

    // Depth-first through the menus gives the table's order.
    std::vector<std::pair<int, QString>> items;
    const std::function<void(QMenu*)> walk = [&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->menu())
                walk(action->menu());
            else
                items.emplace_back(action->data().toInt(), action->text());
        }
    };
    for (QAction* top : window->menuBar()->actions())
        walk(top->menu());
    ASSERT_EQ(items.size(), kMenuTable.size() + 1);
    for (std::size_t i = 0; i < kMenuTable.size(); ++i) {
        EXPECT_EQ(items[i].first, kMenuTable[i].id);
        EXPECT_EQ(items[i].second.toStdString(), kMenuTable[i].text);
    }
    EXPECT_EQ(items.back().first, 16);
    EXPECT_EQ(items.back().second, "About Tavrel(&A)...");
}

TEST_F(MonitorMenu, AboutOpensTheAboutBoxWhichEnterAndEscapeClose) {
    open(39); // disconnected: About works in any state
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        bool closedByKey = false;
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(about, nullptr);
            QTest::keyClick(about, key);
            closedByKey = !about->isVisible();
            if (!closedByKey)
                about->reject();
        });
        trigger(command::kAbout);
        EXPECT_TRUE(closedByKey) << key;
    }
}

} // namespace
} // namespace tavrel::test

// The main window without a repeater: initialisation, connection steps, timers, lamps and worker events.
#include <fstream>
#include <thread>

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QToolButton>

#include "tests/ui/window_fixture.h"
#include "ui/air_log_dlg.h"

namespace tavrel::test {
namespace {

constexpr std::array<int, 4> kTimers{100, 101, 102, 103};

int activeTimers(const CTavrelDlg& window) {
    int active = 0;
    for (int id : kTimers)
        active += windowTimer(window, id)->isActive();
    return active;
}

using MonitorWindow = MonitorWindowTest;

TEST_F(MonitorWindow, InitialisationSetsCaptionBannerLampsAndAuto) {
    CTavrelDlg& w = open(11);
    EXPECT_EQ(w.windowTitle().toStdString(), "Repeater[127.0.4.11] -> Monitor[44320@127.0.4.111]");

    const std::string text = viewText(w);
    const std::string first = text.substr(0, text.find('\n'));
    EXPECT_TRUE(first.starts_with("20160803 235959>> The Velmont v1.0.0.7, build at ")) << first;
    EXPECT_TRUE(first.ends_with(" by Brannock.")) << first;
    // The banner's own line break leaves an empty line; then the run log's full path.
    const std::string pathLine =
        "20160803 235959>> Run log: " + exeDir.path() + "/log/repeater[127.0.4.11]_20160803235959.log\n";
    EXPECT_EQ(text.substr(first.size()), "\n\n" + pathLine);
    EXPECT_EQ(runLog(), "This is the logging information file of the repeater[127.0.4.11].\n"
                        "Created at 20160803 235959 by the Velmont.\n\n" +
                            first + "\n\n" + pathLine);

    EXPECT_EQ(lamps(w), all(LampIcon::Off));
    EXPECT_TRUE(w.autoCheck()->isChecked());
    EXPECT_EQ(w.autoCheck()->text(), "Auto");
    EXPECT_EQ(w.lamps().alarmBits(), 0);
    EXPECT_FALSE(w.session().connected());
    EXPECT_FALSE(w.session().receiversStarted());
    EXPECT_EQ(activeTimers(w), 0);
    ASSERT_NE(w.airLogDlg(), nullptr);
    EXPECT_FALSE(w.airLogDlg()->isVisible());
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_EQ(w.session().runFiles().runLogPath(),
              exeDir.path() + "/log/repeater[127.0.4.11]_20160803235959.log");
}

TEST_F(MonitorWindow, WindowHasFixedSizeMinimiseBoxAndLampIcons) {
    CTavrelDlg& w = open(12);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowIcon().isNull());
    for (int i = 0; i < kLampCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(w.lampButton(i)->objectName().toStdString(), "lamp" + std::to_string(control::kLamps[i]));
        EXPECT_FALSE(w.lampButton(i)->icon().isNull());
    }
    // The lamps run down the right-hand column in the template's order.
    for (int i = 1; i < kLampCount; ++i)
        EXPECT_GT(w.lampButton(i)->y(), w.lampButton(i - 1)->y());
    EXPECT_GT(w.lampButton(0)->x(), w.eventLogView()->geometry().right());
}

TEST_F(MonitorWindow, LinkStartFailureIsLoggedAndShownAndTheWindowStaysUsable) {
    CTavrelDlg& w = open(13, [](std::string_view) {
        errno = ENOPROTOOPT; // what a refused keep-alive option reports
        return -2;
    });
    const std::string expected =
        "Fail to start O&M commu module,error=" + std::to_string(ENOPROTOOPT) + "(-2)";
    EXPECT_NE(viewText(w).find(">> " + expected + "\n"), std::string::npos);
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_EQ(boxes.texts().front().toStdString(), expected);
    EXPECT_NE(runLog().find(expected), std::string::npos);

    EXPECT_EQ(lamps(w), all(LampIcon::Off));
    w.onMenuCommand(command::kClearLog);
    EXPECT_EQ(viewText(w), "");
    deliver(w.session(), NotifyStatusText, textPayload("still logging"));
    EXPECT_EQ(viewText(w), "20160803 235959>> still logging\n");
}

TEST_F(MonitorWindow, ARunLogThatCannotBeCreatedIsLoggedAndShownOnce) {
    // A regular file where the log directory should be: nobody, root included, can create files under it.
    std::ofstream(exeDir.path() + "/not-a-directory") << "x";
    logDirectory = exeDir.path() + "/not-a-directory";
    CTavrelDlg& w = open(26);
    const std::string expected = "Cannot create the run log " + exeDir.path() +
                                 "/not-a-directory/repeater[127.0.4.26]_20160803235959.log: Not a directory";
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_EQ(boxes.texts().front().toStdString(), expected);

    const std::string text = viewText(w);
    const auto secondLine = text.find("\n\n") + 2;
    EXPECT_EQ(text.substr(secondLine), "20160803 235959>> " + expected + "\n");
    for (int i = 0; i < 3; ++i)
        deliver(w.session(), NotifyStatusText, textPayload("still shown"));
    EXPECT_EQ(occurrences(viewText(w), ">> still shown\n"), 3u);
    EXPECT_EQ(occurrences(viewText(w), "Cannot "), 1u) << "the failure is told once, not for every line";
    EXPECT_EQ(boxes.texts().size(), 1);
}

TEST_F(MonitorWindow, ConnectStartsReceiversTimersAndNormalLamps) {
    CTavrelDlg& w = open(14);
    w.eventLog().clearView();
    deliver(w.session(), NotifyOmConnected);
    EXPECT_EQ(viewText(w), "20160803 235959>> Repeter connected\n");
    EXPECT_TRUE(w.session().connected());
    EXPECT_TRUE(w.session().receiversStarted());
    EXPECT_EQ(session->logReceiver().address(), "127.0.4.114");
    EXPECT_EQ(session->logReceiver().port(), 44320);
    EXPECT_EQ(session->airLogReceiver().address(), "127.0.4.114");
    EXPECT_EQ(session->airLogReceiver().port(), 45320);
    EXPECT_EQ(activeTimers(w), 3) << "no lamp blinks: the lamp timer rests";
    EXPECT_EQ(windowTimer(w, 100)->interval(), 5000);
    EXPECT_EQ(windowTimer(w, 101)->interval(), 1000);
    EXPECT_EQ(windowTimer(w, 102)->interval(), 2000);
    EXPECT_EQ(windowTimer(w, 103)->interval(), 200);
    EXPECT_EQ(lamps(w), all(LampIcon::Normal));
    EXPECT_EQ(w.lamps().blinkPhase(), 1);
    EXPECT_EQ(w.lamps().alarmBits(), 0);

    deliver(w.session(), NotifyOmData, textPayload("ALARMSTATE:5"));
    EXPECT_EQ(activeTimers(w), 4) << "alarmed lamps blink";
    deliver(w.session(), NotifyOmDisconnected);
    EXPECT_TRUE(viewText(w).ends_with(">> Repeter connected\n20160803 235959>> ALARM V-SWR active\n"
                                      "20160803 235959>> ALARM Rx PLL active\n"
                                      "20160803 235959>> Repeter disconnected\n"))
        << viewText(w);
    EXPECT_FALSE(w.session().connected());
    EXPECT_TRUE(w.session().receiversStarted()) << "the receivers run on across reconnections";
    EXPECT_EQ(activeTimers(w), 0);
    EXPECT_EQ(lamps(w), all(LampIcon::Off));
    EXPECT_EQ(w.lamps().alarmBits(), 5) << "kept until the next connect";

    deliver(w.session(), NotifyOmConnected);
    EXPECT_EQ(lamps(w), all(LampIcon::Normal)) << "a reconnection starts from Normal whatever was reported";
    EXPECT_EQ(w.lamps().alarmBits(), 0);
    EXPECT_EQ(activeTimers(w), 3);
    w.setLampRest(false); // the bench's switch: the old rhythm, to measure what the rest saves
    EXPECT_EQ(activeTimers(w), 4);
}

TEST_F(MonitorWindow, SecondConnectKeepsTheReceiversAndRestartsTimer101) {
    CTavrelDlg& w = open(19);
    deliver(w.session(), NotifyOmConnected);
    deliver(w.session(), NotifyRepeaterLog, textPayload("first log line"));
    ASSERT_FALSE(w.session().timerActive(101));
    deliver(w.session(), NotifyOmDisconnected);

    // Stopped from outside: a second start would bring them back to life. Their quit lines are handled by
    // the window's event loop before the tasks can end.
    session->logReceiver().stop();
    session->airLogReceiver().stop();
    ASSERT_TRUE(waitUntil([&] {
        const std::string text = viewText(w);
        return text.find(">> LOG receiving task quit") != std::string::npos &&
               text.find(">> AIRLOG receiving task quit") != std::string::npos;
    }));
    session->logReceiver().join();
    session->airLogReceiver().join();

    deliver(w.session(), NotifyOmConnected);
    EXPECT_TRUE(w.session().timerActive(101));
    EXPECT_TRUE(w.session().receiversStarted());
    EXPECT_FALSE(session->logReceiver().running());
    EXPECT_FALSE(session->airLogReceiver().running());
    EXPECT_EQ(session->logReceiver().start("127.0.4.119", 44320), 0) << "not started a second time";
}

TEST_F(MonitorWindow, HeartbeatTimerStopsItselfWhileDisconnected) {
    CTavrelDlg& w = open(20);
    windowTimer(w, 100)->start(); // a tick that was already due when the link went down
    w.session().onTimer(100);
    EXPECT_FALSE(w.session().timerActive(100));
    w.session().onTimer(999); // not one of the window's timers: ignored
    EXPECT_EQ(activeTimers(w), 0);
}

TEST_F(MonitorWindow, RepeaterLogStopsTimer101AndIsShownWhole) {
    CTavrelDlg& w = open(21);
    deliver(w.session(), NotifyOmConnected);
    w.eventLog().clearView();
    ASSERT_TRUE(w.session().timerActive(101));
    deliver(w.session(), NotifyRepeaterLog, textPayload("ARM: boot done\r\nDSP: ok"));
    EXPECT_FALSE(w.session().timerActive(101));
    EXPECT_TRUE(w.session().timerActive(100));
    // One entry spanning two lines in the view; the file keeps the bytes as they came.
    EXPECT_EQ(viewText(w), "20160803 235959>> ARM: boot done\nDSP: ok\n");
    EXPECT_NE(runLog().find(">> ARM: boot done\r\nDSP: ok\n"), std::string::npos);

    // A full-size datagram (1024 bytes and the NUL) is shown and filed whole.
    const std::string full(1024, 'L');
    deliver(w.session(), NotifyRepeaterLog, textPayload(full));
    EXPECT_NE(viewText(w).find(">> " + full + "\n"), std::string::npos);
    EXPECT_NE(runLog().find(">> " + full + "\n"), std::string::npos);

    // Bytes that are no UTF-8 show as U+FFFD.
    deliver(w.session(), NotifyRepeaterLog,
            textPayload("temp \xB0"
                        "C"));
    EXPECT_TRUE(viewText(w).ends_with(">> temp \xEF\xBF\xBD"
                                      "C\n"));
}

TEST_F(MonitorWindow, AirLogRecordGoesToTheListAndFileOfItsDirection) {
    CTavrelDlg& w = open(22);
    Payload uplink(44, 0);
    uplink[0] = 1;
    uplink[4] = 0x12;
    uplink[5] = 0x0A;
    for (int i = 0; i < 38; ++i)
        uplink[static_cast<std::size_t>(6 + i)] = static_cast<char>(i);
    deliver(w.session(), NotifyAirLogRecord, uplink);

    Payload downlink = uplink;
    downlink[0] = 0;
    downlink[4] = 0x13;
    deliver(w.session(), NotifyAirLogRecord, downlink);

    ASSERT_EQ(w.airLogDlg()->uplinkList()->count(), 1);
    ASSERT_EQ(w.airLogDlg()->downlinkList()->count(), 1);
    EXPECT_TRUE(w.airLogDlg()->uplinkList()->item(0)->text().startsWith(QStringLiteral("000012 A 00 01 02")));
    EXPECT_TRUE(w.airLogDlg()->downlinkList()->item(0)->text().startsWith(QStringLiteral("000013 A 00 01")));

    std::string fileTail;
    for (int i = 0; i < 38; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", i);
        fileTail += hex;
    }
    EXPECT_EQ(readFile(w.session().runFiles().uplinkDataPath()), "00000012 0A" + fileTail + "\n");
    EXPECT_EQ(readFile(w.session().runFiles().downlinkDataPath()), "00000013 0A" + fileTail + "\n");
}

TEST_F(MonitorWindow, WorkerEventsAreHandledInsideAModalDialog) {
    CTavrelDlg& w = open(23);
    w.eventLog().clearView();
    bool seenWhileModal = false;
    QTimer::singleShot(0, [&] {
        std::thread worker([&] { session->hub().postStatusText("from a worker"); });
        // The worker blocks until the window has run the handler, inside this message box's loop.
        seenWhileModal = waitUntil([&] { return viewText(w).find("from a worker") != std::string::npos; });
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
        worker.join();
    });
    QMessageBox box(QMessageBox::NoIcon, "modal", "modal", QMessageBox::Ok, &w);
    box.exec();
    EXPECT_TRUE(seenWhileModal);
    EXPECT_EQ(viewText(w), "20160803 235959>> from a worker\n");
}

TEST_F(MonitorWindow, EscapeAndEnterDoNotCloseTheWindow) {
    CTavrelDlg& w = open(24);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::keyClick(&w, Qt::Key_Escape);
    QTest::keyClick(w.eventLogView(), Qt::Key_Return);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(MonitorWindow, CloseStopsTheTasksLeavesTheHubAndEndsAsCancel) {
    CTavrelDlg& w = openWithRealLink(25); // the real link, towards a repeater that is not there
    deliver(w.session(), NotifyOmConnected);
    ASSERT_TRUE(session->logReceiver().running() ||
                waitUntil([&] { return session->logReceiver().running(); }));
    QTimer::singleShot(0, &w, [&] { w.close(); });
    EXPECT_EQ(w.exec(), QDialog::Rejected);
    EXPECT_FALSE(session->link().hasSocket());
    EXPECT_EQ(activeTimers(w), 0);
    // Stopped tasks end promptly; later events find no window and are dropped.
    session->logReceiver().join();
    session->airLogReceiver().join();
    session->link().join();
    EXPECT_FALSE(session->logReceiver().running());
    EXPECT_FALSE(session->hub().postStatusText("after close"));
    EXPECT_EQ(viewText(w).find("after close"), std::string::npos);
}

} // namespace
} // namespace tavrel::test

// Start-up as a whole: slot claim, the too-many refusal, the setup dialog and the hand-over to the main
// window.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <unistd.h>

#include "apps/tavrel/tavrel_app.h"
#include "platform/executable_dir.h"
#include "tests/support/fake_message_boxes.h"
#include "tests/ui/dialog_watcher.h"
#include "ui/ipv4_edit.h"

namespace tavrel {
namespace {

class TavrelStartUp : public ::testing::Test {
protected:
    // Instance locks of this test only; a running tool uses "Velmont#" and is never disturbed.
    const std::string m_prefix = "tavrel-found-app-" + std::to_string(::getpid()) + "-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + "#";

    SetupDlgServices services() {
        SetupDlgServices s;
        s.localAddresses = [] { return std::vector<std::string>{"127.0.1.40"}; };
        s.messageBoxes = &m_boxes;
        return s;
    }
    void holdSlots(std::initializer_list<int> taken) {
        for (int slot : taken)
            m_holders.push_back(*NamedLock::tryCreate(m_prefix + std::to_string(slot)));
    }

    test::FakeMessageBoxes m_boxes;
    std::vector<NamedLock> m_holders;
};

void continueWithRepeater(CSetupDlg& dialog, const char* repeater) {
    qobject_cast<Ipv4Edit*>(dialog.control(CSetupDlg::kIdRepeaterAddress))
        ->setAddress(QString::fromLatin1(repeater));
    QTest::mouseClick(qobject_cast<QPushButton*>(dialog.control(CSetupDlg::kIdContinue)), Qt::LeftButton);
}

TEST_F(TavrelStartUp, SeventeenthInstanceShowsTheMessageAndNoWindow) {
    for (int slot = 0; slot < kInstanceSlotCount; ++slot)
        holdSlots({slot});
    CTavrelApp app(m_prefix, services());
    bool mainWindowRan = false;
    app.runMainWindow = [&](const MonitorSettings&, const std::string&) { return mainWindowRan = true, 0; };
    test::DialogWatcher<CSetupDlg> setup;

    EXPECT_EQ(app.run(), CTavrelApp::kExitTooManyInstances);
    ASSERT_EQ(m_boxes.shown().size(), 1u);
    EXPECT_EQ(m_boxes.last(), "!!!Too many monitor is running");
    EXPECT_FALSE(m_boxes.shown()[0].withCancel);
    EXPECT_EQ(setup.seen(), 0);
    EXPECT_FALSE(mainWindowRan);
    EXPECT_FALSE(app.instanceSlot());
}

TEST_F(TavrelStartUp, ContinueHandsTheSettingsOfTheLowestFreeSlotToTheMainWindow) {
    holdSlots({0, 1, 3});
    CTavrelApp app(m_prefix, services());
    MonitorSettings received;
    std::string receivedDir;
    app.runMainWindow = [&](const MonitorSettings& settings, const std::string& logDirectory) {
        received = settings;
        receivedDir = logDirectory;
        return 7;
    };
    test::DialogWatcher<CSetupDlg> setup([](CSetupDlg& d) { continueWithRepeater(d, "127.0.1.41"); });

    EXPECT_EQ(app.run(), 7);
    EXPECT_EQ(setup.seen(), 1);
    EXPECT_EQ(app.instanceSlot(), 2);
    EXPECT_EQ(received.localAddress, "127.0.1.40");
    EXPECT_EQ(received.monitorRxPort, 44324);
    EXPECT_EQ(received.airLogRxPort, 45324);
    EXPECT_EQ(received.repeaterAddress, "127.0.1.41");
    EXPECT_EQ(receivedDir, executableDirectory() + "/log");
    EXPECT_TRUE(std::filesystem::is_directory(receivedDir));
    EXPECT_EQ(app.logDirectory(), receivedDir);

    // The slot stays held as long as the application does.
    EXPECT_FALSE(NamedLock::tryCreate(m_prefix + "2"));
}

TEST_F(TavrelStartUp, CommandLineValuesFillTheSetupDialogAndBadOnesAreToldTwice) {
    CTavrelApp app(m_prefix, services());
    app.prefill.localAddress = "10.9.9.9"; // not among this machine's: the list's first stays selected
    app.prefill.repeaterAddress = "127.0.1.45";
    app.prefill.monitorRxPort = 44400;
    app.prefill.problems = {"--air-port \"x\": Invalid air log rx port"};
    std::vector<std::string> reported;
    app.reportProblem = [&](const std::string& problem) { reported.push_back(problem); };
    MonitorSettings received;
    app.runMainWindow = [&](const MonitorSettings& settings, const std::string&) {
        return received = settings, 0;
    };
    test::DialogWatcher<CSetupDlg> setup([&](CSetupDlg& d) {
        // The warning first, then the message naming what was not taken.
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_boxes.shown().size() >= 2; }, 5000));
        QTest::mouseClick(qobject_cast<QPushButton*>(d.control(CSetupDlg::kIdContinue)), Qt::LeftButton);
    });

    EXPECT_EQ(app.run(), CTavrelApp::kExitSuccess);
    EXPECT_EQ(reported, (std::vector<std::string>{"--air-port \"x\": Invalid air log rx port",
                                                  "--local 10.9.9.9: not an IPv4 address of this machine"}));
    ASSERT_EQ(m_boxes.shown().size(), 2u);
    EXPECT_EQ(m_boxes.last().toStdString(), "Not taken from the command line:\n"
                                            "--air-port \"x\": Invalid air log rx port\n"
                                            "--local 10.9.9.9: not an IPv4 address of this machine");
    // Continue took the values given and the defaults of the rest, checked as ever.
    EXPECT_EQ(received.localAddress, "127.0.1.40");
    EXPECT_EQ(received.repeaterAddress, "127.0.1.45");
    EXPECT_EQ(received.monitorRxPort, 44400);
    EXPECT_EQ(received.airLogRxPort, 45320);
}

TEST_F(TavrelStartUp, QuitEndsTheProgramWithoutTheMainWindow) {
    CTavrelApp app(m_prefix, services());
    bool mainWindowRan = false;
    app.runMainWindow = [&](const MonitorSettings&, const std::string&) { return mainWindowRan = true, 0; };
    test::DialogWatcher<CSetupDlg> setup([](CSetupDlg& d) {
        QTest::mouseClick(qobject_cast<QPushButton*>(d.control(CSetupDlg::kIdQuit)), Qt::LeftButton);
    });
    EXPECT_EQ(app.run(), CTavrelApp::kExitSuccess);
    EXPECT_EQ(setup.seen(), 1);
    EXPECT_EQ(app.instanceSlot(), 0);
    EXPECT_FALSE(mainWindowRan);
}

TEST_F(TavrelStartUp, ContinueWithoutAMainWindowEndsCleanly) {
    CTavrelApp app(m_prefix, services());
    test::DialogWatcher<CSetupDlg> setup([](CSetupDlg& d) { continueWithRepeater(d, "127.0.1.42"); });
    EXPECT_EQ(app.run(), CTavrelApp::kExitSuccess);
    EXPECT_EQ(setup.seen(), 1);
}

} // namespace
} // namespace tavrel

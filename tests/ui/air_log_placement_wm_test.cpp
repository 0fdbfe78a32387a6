// The air log window under a real window manager (run by run_under_window_manager.sh): it opens beside
// the main window instead of over its menu bar, "LOG Off" stays in reach, and where the operator moves and
// sizes it is kept. Ctrl+F and Escape reach the find bar as real key presses.
#include <chrono>
#include <string>

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include "emulator/repeater_emulator.h"
#include "session/repeater_session.h"
#include "tests/session/temp_dir.h"
#include "tests/support/fake_message_boxes.h"
#include "ui/air_log_dlg.h"
#include "ui/find_bar.h"
#include "ui/tavrel_dlg.h"

namespace tavrel::test {
namespace {

using namespace std::chrono_literals;

// Runs xdotool with the arguments; true when it succeeded.
bool xdotool(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

bool clickAt(const QPoint& global) {
    return xdotool(
        {"mousemove", "--sync", QString::number(global.x()), QString::number(global.y()), "click", "1"});
}

bool waitUntil(const std::function<bool()>& condition, int ms = 5000) {
    return QTest::qWaitFor(condition, ms);
}

class AirLogUnderWindowManager : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X display with a window manager (run_under_window_manager.sh)";
        emulator::EmulatorOptions options;
        options.address = "127.0.22.2";
        options.quiet = true;
        repeater = std::make_unique<emulator::RepeaterEmulator>(options);
        ASSERT_TRUE(repeater->start());
        session = std::make_unique<RepeaterSession>(MonitorSettings{"127.0.22.1", 44320, 45320, "127.0.22.2"},
                                                    exeDir.logDir().string());
        window = std::make_unique<CTavrelDlg>(*session, &boxes);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(waitUntil([&] { return session->connected(); }));
    }

    void TearDown() override {
        window.reset();
        session.reset();
        if (repeater)
            repeater->stop();
    }

    // Opens "AIR Logging" and clicks the item, both with the real pointer.
    void clickMenuItem(const QString& text) {
        QAction* title = nullptr;
        for (QAction* action : window->menuBar()->actions())
            if (action->text() == QLatin1String("AIR Logging"))
                title = action;
        ASSERT_NE(title, nullptr);
        const QRect titleRect = window->menuBar()->actionGeometry(title);
        ASSERT_TRUE(clickAt(window->menuBar()->mapToGlobal(titleRect.center())));
        QMenu* menu = title->menu();
        ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); })) << "the menu bar is covered";
        QAction* item = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == text)
                item = action;
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(clickAt(menu->mapToGlobal(menu->actionGeometry(item).center())));
        ASSERT_TRUE(waitUntil([&] { return !menu->isVisible(); }));
    }

    // Waits until the window manager has framed the window and it stays where it is.
    static QRect settledFrame(const QWidget& widget) {
        QRect last;
        int same = 0;
        waitUntil([&] {
            const QRect now = widget.frameGeometry();
            same = now == last && now != widget.geometry() ? same + 1 : 0;
            last = now;
            return same >= 5;
        });
        return last;
    }

    TempExeDir exeDir;
    FakeMessageBoxes boxes;
    std::unique_ptr<emulator::RepeaterEmulator> repeater;
    std::unique_ptr<RepeaterSession> session;
    std::unique_ptr<CTavrelDlg> window;
};

TEST_F(AirLogUnderWindowManager, OpensBesideTheMainWindowAndKeepsWhereTheOperatorPutsIt) {
    const QRect main = settledFrame(*window);
    CAirLogDlg* air = window->airLogDlg();

    ASSERT_NO_FATAL_FAILURE(clickMenuItem("LOG On"));
    ASSERT_TRUE(waitUntil([&] { return air->isVisible(); }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(air));
    const QRect placed = settledFrame(*air);
    EXPECT_FALSE(placed.intersects(main))
        << "main " << main.x() << "," << main.y() << " " << main.width() << "x" << main.height()
        << ", air log " << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();
    EXPECT_TRUE(air->screen()->availableGeometry().contains(placed));

    // "LOG Off" is in reach of the pointer while the air log window is up.
    ASSERT_NO_FATAL_FAILURE(clickMenuItem("LOG Off"));
    ASSERT_TRUE(waitUntil([&] { return !air->isVisible(); }));
    ASSERT_TRUE(repeater->waitForCommand("TEST_CTRL_TO_CHCU:AILOGOFF", 5s));

    // The operator moves and sizes it; LOG Off and On again bring it back there.
    ASSERT_NO_FATAL_FAILURE(clickMenuItem("LOG On"));
    ASSERT_TRUE(waitUntil([&] { return air->isVisible(); }));
    EXPECT_EQ(settledFrame(*air), placed) << "shown again where it was placed";
    const QString id = QString::number(air->winId());
    ASSERT_TRUE(xdotool({"windowsize", "--sync", id, "520", "300"}));
    ASSERT_TRUE(xdotool({"windowmove", "--sync", id, "900", "620"}));
    ASSERT_TRUE(waitUntil([&] { return air->size() == QSize(520, 300); }));
    const QRect moved = settledFrame(*air);
    ASSERT_NE(moved.topLeft(), placed.topLeft());
    ASSERT_NO_FATAL_FAILURE(clickMenuItem("LOG Off"));
    ASSERT_TRUE(waitUntil([&] { return !air->isVisible(); }));
    ASSERT_NO_FATAL_FAILURE(clickMenuItem("LOG On"));
    ASSERT_TRUE(waitUntil([&] { return air->isVisible(); }));
    EXPECT_EQ(settledFrame(*air), moved);
    EXPECT_EQ(air->size(), QSize(520, 300));

    // Keys pressed on the real display: Ctrl+F opens the find bar, Escape closes it and nothing else.
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", QString::number(window->winId())}));
    ASSERT_TRUE(waitUntil([&] { return window->isActiveWindow(); }));
    ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "ctrl+f"}));
    ASSERT_TRUE(waitUntil([&] { return window->findBar()->isVisible(); }));
    ASSERT_TRUE(waitUntil([&] { return window->findBar()->field()->hasFocus(); }));
    ASSERT_TRUE(xdotool({"type", "--delay", "20", "Velmont"}));
    ASSERT_TRUE(waitUntil([&] { return window->findBar()->matchCount() == 1; }));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(waitUntil([&] { return !window->findBar()->isVisible(); }));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    QTest::qWait(100); // nothing to wait for: an Escape that closed the window would have done so by now
    EXPECT_TRUE(window->isVisible());
}

} // namespace
} // namespace tavrel::test

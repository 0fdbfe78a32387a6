// A main window on a session of its own, with a settable clock and recorded message boxes.
#pragma once

#include <array>
#include <cerrno>
#include <functional>
#include <memory>
#include <string>

#include <QPlainTextEdit>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "handoff/notification.h"
#include "session/monitor_settings.h"
#include "session/repeater_session.h"
#include "tests/session/temp_dir.h"
#include "tests/support/fake_message_boxes.h"
#include "ui/message_boxes.h"
#include "ui/tavrel_dlg.h"

namespace tavrel::test {

using RecordedMessageBoxes = FakeMessageBoxes;

inline Payload textPayload(std::string_view text) {
    Payload payload(text.begin(), text.end());
    payload.push_back('\0');
    return payload;
}

// Hands the session a notification as if a worker had sent it.
inline void deliver(RepeaterSession& session, NotifyKind kind, Payload payload = {}) {
    session.handleNotification(Notification{kind, std::move(payload)});
}

// The view's text, with the lines that wait for the next tick of a shown view put in first.
inline std::string viewText(CTavrelDlg& window) {
    window.eventLog().showPendingLines();
    return window.eventLogView()->toPlainText().toStdString();
}

// Repeater <net><n>, monitor <net><100 + n>, with the given receive ports.
inline MonitorSettings loopbackSettings(const std::string& net, int n, int monitorRxPort, int airLogRxPort) {
    MonitorSettings settings;
    settings.repeaterAddress = net + std::to_string(n);
    settings.localAddress = net + std::to_string(100 + n);
    settings.monitorRxPort = monitorRxPort;
    settings.airLogRxPort = airLogRxPort;
    return settings;
}

// How often a text stands in another, e.g. a line in the view or the run log.
inline std::size_t occurrences(std::string_view text, std::string_view what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

// The pictures the five lamps show, and five of one picture, to compare them whole.
inline std::array<LampIcon, kLampCount> lamps(const CTavrelDlg& window) {
    std::array<LampIcon, kLampCount> icons{};
    for (int i = 0; i < kLampCount; ++i)
        icons[static_cast<std::size_t>(i)] = window.lampIcon(i);
    return icons;
}

inline std::array<LampIcon, kLampCount> all(LampIcon icon) {
    std::array<LampIcon, kLampCount> icons{};
    icons.fill(icon);
    return icons;
}

// The session's timers 100-102 and the window's lamp timer 103.
inline QTimer* windowTimer(const CTavrelDlg& window, int id) {
    const QString name = QStringLiteral("timer%1").arg(id);
    if (auto* timer = window.session().findChild<QTimer*>(name))
        return timer;
    return window.findChild<QTimer*>(name);
}

// Repeater 127.0.4.<n>, monitor 127.0.4.<100 + n>: every test has addresses of its own, so tests can run in
// parallel with the fixed port 2301 and the default receive ports.
class MonitorWindowTest : public ::testing::Test {
protected:
    using LinkStarter = std::function<int(std::string_view)>;

    static MonitorSettings settingsFor(int n) { return loopbackSettings("127.0.4.", n, 44320, 45320); }

    // A link that is never started: every send is skipped, as with no socket.
    static int noLink(std::string_view) { return 0; }

    // A window whose link is started by the given starter (empty: the real OmLink).
    CTavrelDlg& open(int n, LinkStarter starter = noLink) {
        return openAt(settingsFor(n), std::move(starter));
    }

    // The window on the given settings, its link started by the starter (empty: the real OmLink).
    CTavrelDlg& openAt(MonitorSettings at, LinkStarter starter = noLink) {
        settings = std::move(at);
        SessionOptions options;
        options.startLink = std::move(starter);
        options.clock = [this] { return now; };
        options.wallTime = [this] { return wallNow; };
        session = std::make_unique<RepeaterSession>(settings, logDirectory, std::move(options));
        window = std::make_unique<CTavrelDlg>(*session, &boxes);
        return *window;
    }

    // A window with the real OmLink, connecting to 127.0.4.<n>:2301.
    CTavrelDlg& openWithRealLink(int n) { return open(n, LinkStarter{}); }

    // Lets the window's event loop run until the condition holds or five seconds pass.
    static bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
        return QTest::qWaitFor(condition, timeoutMs);
    }

    std::string runLog() const { return readFile(session->runFiles().runLogPath()); }

    TempExeDir exeDir;
    std::string logDirectory = exeDir.logDir().string(); // where the next window's session files
    StampedTime now{2016, 8, 3, 23, 59, 59};
    // When alarm transitions happen and the status bar's link times are measured.
    WallClock::time_point wallNow =
        std::chrono::sys_days{std::chrono::year{2016} / 8 / 3} + std::chrono::hours(23);
    MonitorSettings settings;
    RecordedMessageBoxes boxes;
    std::unique_ptr<RepeaterSession> session;
    std::unique_ptr<CTavrelDlg>
        window; // destroyed first, then the session leaves the hub and joins its tasks
};

} // namespace tavrel::test

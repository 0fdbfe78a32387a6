// The hand-off probe: the main window's dispatch path with an empty handler, timed over many notifications.
#include "bench/handoff_probe.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

#include <QApplication>
#include <QMetaObject>

#include "bench/proc_stats.h"
#include "handoff/notification.h"
#include "session/dispatch_wake.h"

namespace tavrel::bench {
namespace {

constexpr std::size_t kPayloadBytes = 101;
constexpr long kMostNotifications = 10'000'000;

// Dispatches exactly as the session behind the main window does, and only counts.
class CountingWindow : public NotificationWindow {
public:
    CountingWindow(NotificationHub& hub, long expected) : m_hub(hub), m_expected(expected) {}

    void handleNotification(Notification) override {
        if (++m_handled == m_expected)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    void requestDispatch() override { m_wake.request(); }

private:
    NotificationHub& m_hub;
    DispatchWake m_wake{[this] { m_hub.dispatchPending(); }};
    const long m_expected;
    long m_handled = 0;
};

} // namespace

int runHandoffProbe(int argc, char** argv) {
    long count = 0;
    if ((argc == 4 || argc == 5) && std::string_view(argv[2]) == "--count")
        count = std::atol(argv[3]);
    const bool sleepAtOnce = argc == 5 && std::string_view(argv[4]) == "--sleep-at-once";
    if (count <= 0 || count > kMostNotifications || (argc == 5 && !sleepAtOnce)) {
        std::fprintf(stderr, "usage: handoff --count N (1..%ld) [--sleep-at-once]\n", kMostNotifications);
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    NotificationHub hub(sleepAtOnce ? NotificationHub::Waits::SleepAtOnce
                                    : NotificationHub::Waits::WatchFirst);
    CountingWindow window(hub, count);
    hub.registerWindow(window);

    const std::int64_t startNs = monotonicNs();
    std::jthread worker([&hub, count] {
        for (long i = 0; i < count; ++i)
            if (!hub.notify(NotifyRepeaterLog, Payload(kPayloadBytes, 'x')))
                return; // the window has gone
    });
    QApplication::exec();
    const std::int64_t elapsedNs = monotonicNs() - startNs;
    hub.unregisterWindow(); // releases the worker if it still waits
    std::printf("handoff %ld %lld\n", count, static_cast<long long>(elapsedNs));
    std::fflush(stdout);
    return 0;
}

} // namespace tavrel::bench

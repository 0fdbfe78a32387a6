// Hand-off of worker events to the window thread: synchronous, in order per worker, payload owned throughout.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string_view>
#include <vector>

namespace tavrel {

// Numbers as the window messages they once were (1024 + n).
enum NotifyKind : int {
    NotifyStatusText = 1025,
    NotifyOmConnected = 1124,
    NotifyOmDisconnected = 1125,
    NotifyOmData = 1126,
    NotifyRepeaterLog = 1224,
    NotifyAirLogRecord = 1244,
};

// The heap block a worker hands over; whoever holds the notification owns it, so it is freed on every path.
using Payload = std::vector<char>;

struct Notification {
    NotifyKind kind;
    Payload payload;
};

// The window side of the hand-off, implemented by the main window (and by test receivers).
class NotificationWindow {
public:
    virtual ~NotificationWindow() = default;
    // Runs on the window's thread, from NotificationHub::dispatchPending().
    virtual void handleNotification(Notification notification) = 0;
    // Runs on a worker thread: make the window's thread call NotificationHub::dispatchPending() soon.
    virtual void requestDispatch() = 0;
};

class NotificationHub {
public:
    // How the two sides wait for each other: watching for a few microseconds first (on machines with
    // more than one CPU), or going to sleep at once (for comparison in the benchmarks).
    enum class Waits { WatchFirst, SleepAtOnce };

    explicit NotificationHub(Waits waits = Waits::WatchFirst);
    NotificationHub(const NotificationHub&) = delete;
    NotificationHub& operator=(const NotificationHub&) = delete;
    ~NotificationHub() { unregisterWindow(); }

    void registerWindow(NotificationWindow& window);
    // Drops what is queued, releases every waiting sender and makes later sends drop their payload.
    void unregisterWindow();

    // Delivers to the window and returns after its handler has run (true), or drops the payload when
    // there is no window or it goes away before handling the notification (false). While the window
    // thread is busy with a stream of notifications, the sender watches for a few microseconds before
    // it sleeps, and the window thread for the next notification before it goes back to its loop.
    bool notify(NotifyKind kind, Payload payload);
    // A status line for the event log: the text with a terminating NUL.
    bool postStatusText(std::string_view text);

    // Window thread: runs the handler of every queued notification, oldest first.
    void dispatchPending();

private:
    struct Pending {
        Notification notification;
        bool delivered = false;
        bool sleeping = false;          // the sender waits on m_handled (guarded by m_mutex)
        std::atomic<bool> done = false; // stored last, under m_mutex; the sender may return at once
    };

    // Marks the entry done under the held lock and tells whether its sender has to be woken.
    static bool finish(Pending& pending, bool delivered);
    // Window thread, queue empty after handling: watches it for a moment if that has been paying off.
    // Called and left with m_mutex held.
    void watchForNextNotification();

    const bool m_watch;
    std::mutex m_mutex;
    std::condition_variable m_handled;
    NotificationWindow* m_window = nullptr;
    std::deque<Pending*> m_queue;
    std::atomic<std::size_t> m_queued = 0; // m_queue.size(), for the window's watch without the lock
    bool m_windowWatching = false;         // dispatchPending() watches the queue: no dispatch request needed
    // A dispatch has been requested and has not started yet: later notifications need no request of their
    // own, so that a stream does not pile up one queued call per notification in the window's event loop.
    bool m_dispatchRequested = false;
    // Window thread only: after a watch that saw nothing, the next ones are skipped, more each time.
    int m_watchesToSkip = 0;
    int m_watchBackoff = 1;
};

} // namespace tavrel

// Hand-off of worker events to the window thread: synchronous, in order per worker, payload owned throughout.
#pragma once

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
    int length = 0;
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
    NotificationHub() = default;
    NotificationHub(const NotificationHub&) = delete;
    NotificationHub& operator=(const NotificationHub&) = delete;
    ~NotificationHub() { unregisterWindow(); }

    void registerWindow(NotificationWindow& window);
    // Drops what is queued, releases every waiting sender and makes later sends drop their payload.
    void unregisterWindow();

    // Delivers to the window and returns after its handler has run (true), or drops the payload when
    // there is no window or it goes away before handling the notification (false).
    bool notify(NotifyKind kind, Payload payload, int length);
    // A status line for the event log: the text with a terminating NUL, length = its byte count.
    bool postStatusText(std::string_view text);

    // Window thread: runs the handler of every queued notification, oldest first.
    void dispatchPending();

private:
    struct Pending {
        Notification notification;
        bool done = false;
        bool delivered = false;
    };

    std::mutex m_mutex;
    std::condition_variable m_handled;
    NotificationWindow* m_window = nullptr;
    std::deque<Pending*> m_queue;
};

// The process-wide hub the running tool's workers and main window meet at.
NotificationHub& notificationHub();

} // namespace tavrel

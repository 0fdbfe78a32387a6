#include "app/notification.h"

#include <utility>

namespace tavrel {

void NotificationHub::registerWindow(NotificationWindow& window) {
    std::lock_guard lock(m_mutex);
    m_window = &window;
}

void NotificationHub::unregisterWindow() {
    std::lock_guard lock(m_mutex);
    m_window = nullptr;
    for (Pending* pending : m_queue)
        pending->done = true; // the sender frees its payload when it wakes
    m_queue.clear();
    m_handled.notify_all();
}

bool NotificationHub::notify(NotifyKind kind, Payload payload, int length) {
    Pending pending{Notification{kind, std::move(payload), length}};
    std::unique_lock lock(m_mutex);
    if (!m_window)
        return false;
    m_queue.push_back(&pending);
    // Asked under the lock so that the window cannot be unregistered and destroyed meanwhile.
    m_window->requestDispatch();
    m_handled.wait(lock, [&] { return pending.done; });
    return pending.delivered;
}

bool NotificationHub::postStatusText(std::string_view text) {
    Payload payload(text.begin(), text.end());
    payload.push_back('\0');
    return notify(NotifyStatusText, std::move(payload), static_cast<int>(text.size()));
}

void NotificationHub::dispatchPending() {
    for (;;) {
        std::unique_lock lock(m_mutex);
        if (m_queue.empty() || !m_window)
            return;
        Pending* pending = m_queue.front();
        m_queue.pop_front();
        NotificationWindow* window = m_window;
        Notification notification = std::move(pending->notification);
        lock.unlock();

        // The handler may open a modal dialog whose event loop dispatches again; that is safe because
        // this entry has already left the queue.
        try {
            window->handleNotification(std::move(notification));
        } catch (...) {
            // A throwing handler must not leave its sender waiting forever.
            lock.lock();
            pending->done = true;
            m_handled.notify_all();
            throw;
        }

        lock.lock();
        pending->delivered = true;
        pending->done = true;
        m_handled.notify_all();
    }
}

NotificationHub& notificationHub() {
    static NotificationHub hub;
    return hub;
}

} // namespace tavrel

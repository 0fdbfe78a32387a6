#include "handoff/notification.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <sched.h>

namespace tavrel {
namespace {

// Handing a notification over costs two thread wake-ups, which are slow on a virtual machine (tens of
// microseconds each). Under a stream of datagrams both sides are busy anyway, so each watches the other
// for a while before sleeping: the sender for its handler to finish, the window thread for the next
// notification. The window's watch is the longer one because the receiver it waits for shares the CPUs
// with whatever sends the stream and is often off a CPU for a moment; a watch shorter than that gap turns
// every datagram into two wake-ups again. Never on a single CPU, where a watch would only keep the other
// side from running.
constexpr std::chrono::microseconds kSenderWatch{50};
constexpr std::chrono::microseconds kWindowWatch{250};
// After a window watch that saw nothing the next ones are skipped, up to this many: a slow trickle of
// notifications costs almost nothing, while a stream still finds the watch again within a few datagrams.
constexpr int kMostWatchesSkipped = 16;

bool severalCpus() {
    static const bool several = [] {
        cpu_set_t cpus;
        return sched_getaffinity(0, sizeof cpus, &cpus) == 0 && CPU_COUNT(&cpus) > 1;
    }();
    return several;
}

void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Polls the condition until it holds or the time is up; true when it holds.
template <typename Condition> bool watchFor(std::chrono::microseconds limit, Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        for (int i = 0; i < 32; ++i) {
            if (condition())
                return true;
            cpuRelax();
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        sched_yield();
    }
}

} // namespace

NotificationHub::NotificationHub(Waits waits) : m_watch(waits == Waits::WatchFirst && severalCpus()) {}

void NotificationHub::registerWindow(NotificationWindow& window) {
    std::lock_guard lock(m_mutex);
    m_window = &window;
    m_dispatchRequested = false; // a request made of an earlier window is not this one's
}

bool NotificationHub::finish(Pending& pending, bool delivered) {
    const bool wake = pending.sleeping;
    pending.delivered = delivered;
    pending.done.store(true, std::memory_order_release); // the last touch: the sender may return at once
    return wake;
}

void NotificationHub::unregisterWindow() {
    std::lock_guard lock(m_mutex);
    m_window = nullptr;
    for (Pending* pending : m_queue)
        finish(*pending, false); // the sender frees its payload when it wakes
    m_queue.clear();
    m_queued.store(0);
    m_handled.notify_all();
}

bool NotificationHub::notify(NotifyKind kind, Payload payload) {
    Pending pending{Notification{kind, std::move(payload)}};
    bool windowWatching = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_window)
            return false;
        m_queue.push_back(&pending);
        m_queued.store(m_queue.size(), std::memory_order_release);
        windowWatching = m_windowWatching;
        // Asked under the lock so that the window cannot be unregistered and destroyed meanwhile; a window
        // thread that watches the queue, or that has a dispatch still to start, takes the notification
        // without being asked again.
        if (!windowWatching && !m_dispatchRequested) {
            m_dispatchRequested = true;
            m_window->requestDispatch();
        }
    }
    // Only a window thread that is awake will handle it soon enough to be worth watching for.
    if (windowWatching &&
        watchFor(kSenderWatch, [&] { return pending.done.load(std::memory_order_acquire); }))
        return pending.delivered;

    std::unique_lock lock(m_mutex);
    pending.sleeping = true;
    m_handled.wait(lock, [&] { return pending.done.load(std::memory_order_relaxed); });
    return pending.delivered;
}

bool NotificationHub::postStatusText(std::string_view text) {
    Payload payload(text.begin(), text.end());
    payload.push_back('\0');
    return notify(NotifyStatusText, std::move(payload));
}

void NotificationHub::watchForNextNotification() {
    if (!m_watch)
        return;
    if (m_watchesToSkip > 0) {
        --m_watchesToSkip;
        return;
    }
    m_windowWatching = true;
    m_mutex.unlock();
    watchFor(kWindowWatch, [&] { return m_queued.load(std::memory_order_acquire) != 0; });
    m_mutex.lock();
    m_windowWatching = false;
    // Looked at under the lock: a sender that came after the watch ended relied on it all the same.
    if (!m_queue.empty()) {
        m_watchBackoff = 1;
    } else {
        m_watchesToSkip = m_watchBackoff;
        m_watchBackoff = std::min(2 * m_watchBackoff, kMostWatchesSkipped);
    }
}

void NotificationHub::dispatchPending() {
    {
        // From here on this run takes whatever is queued; a notification that comes after it has ended
        // asks for a dispatch of its own.
        std::lock_guard lock(m_mutex);
        m_dispatchRequested = false;
    }
    bool handledOne = false;
    for (;;) {
        std::unique_lock lock(m_mutex);
        if (m_queue.empty() && m_window && handledOne)
            watchForNextNotification();
        if (m_queue.empty() || !m_window)
            return;
        Pending* pending = m_queue.front();
        m_queue.pop_front();
        m_queued.store(m_queue.size(), std::memory_order_release);
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
            if (finish(*pending, false))
                m_handled.notify_all();
            throw;
        }
        handledOne = true;

        lock.lock();
        if (finish(*pending, true))
            m_handled.notify_all();
    }
}

} // namespace tavrel

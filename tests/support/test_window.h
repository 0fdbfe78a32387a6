// A stand-in for the main window in tests: receives notifications on a thread of its own and records them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "handoff/notification.h"

namespace tavrel::test {

struct Received {
    NotifyKind kind;
    std::string bytes; // the whole payload, terminator included
};

class TestWindow : public NotificationWindow {
public:
    explicit TestWindow(NotificationHub& hub) : m_hub(hub) {
        m_thread = std::thread([this] { loop(); });
        m_hub.registerWindow(*this);
    }
    ~TestWindow() override { close(); }

    // Unregisters (releasing any waiting sender) and ends the window thread.
    void close() {
        m_hub.unregisterWindow();
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    // Runs inside the handler on the window thread, before the notification is recorded.
    void onNotification(std::function<void(const Received&)> hook) {
        std::lock_guard lock(m_mutex);
        m_hook = std::move(hook);
    }

    std::vector<Received> received() const {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

    std::size_t count(NotifyKind kind) const {
        std::lock_guard lock(m_mutex);
        std::size_t n = 0;
        for (const auto& r : m_received)
            n += r.kind == kind;
        return n;
    }

    // Waits until the predicate over the received list holds, or the time-out passes.
    template <typename Predicate>
    bool waitFor(Predicate predicate, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return predicate(m_received); });
    }

    bool waitForCount(NotifyKind kind, std::size_t n,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
        return waitFor(
            [&](const std::vector<Received>& list) {
                std::size_t seen = 0;
                for (const auto& r : list)
                    seen += r.kind == kind;
                return seen >= n;
            },
            timeout);
    }

    // NotificationWindow
    void handleNotification(Notification notification) override {
        Received record{notification.kind,
                        std::string(notification.payload.begin(), notification.payload.end())};
        std::function<void(const Received&)> hook;
        {
            std::lock_guard lock(m_mutex);
            hook = m_hook;
        }
        if (hook)
            hook(record);
        {
            std::lock_guard lock(m_mutex);
            m_received.push_back(std::move(record));
        }
        m_changed.notify_all();
    }

    void requestDispatch() override {
        {
            std::lock_guard lock(m_mutex);
            m_dispatchRequested = true;
        }
        m_wake.notify_all();
    }

private:
    void loop() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_quit || m_dispatchRequested; });
            if (m_quit)
                return;
            m_dispatchRequested = false;
            lock.unlock();
            m_hub.dispatchPending();
            lock.lock();
        }
    }

    NotificationHub& m_hub;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::condition_variable m_wake;
    std::function<void(const Received&)> m_hook;
    std::vector<Received> m_received;
    bool m_dispatchRequested = false;
    bool m_quit = false;
    std::thread m_thread;
};

// Texts of the status lines received so far (terminator stripped).
inline std::vector<std::string> statusTexts(const std::vector<Received>& list) {
    std::vector<std::string> texts;
    for (const auto& r : list)
        if (r.kind == NotifyStatusText)
            texts.emplace_back(r.bytes.c_str());
    return texts;
}

} // namespace tavrel::test

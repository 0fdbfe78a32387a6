// Runs a handler on the thread that created it, when any other thread asks: an eventfd served by a socket
// notifier, so that the asking thread touches nothing of Qt's (whose locks a race checker cannot see into).
// Socket notifiers are served in every event loop of that thread, modal dialogs and message boxes included.
#pragma once

#include <functional>

#include <QSocketNotifier>

#include "platform/wake_event.h"

namespace tavrel {

class DispatchWake {
public:
    explicit DispatchWake(std::function<void()> handler);
    DispatchWake(const DispatchWake&) = delete;
    DispatchWake& operator=(const DispatchWake&) = delete;

    // From any thread. Requests that come before the handler starts are served by one run of it; one that
    // comes while it runs is served by a run of its own.
    void request() noexcept;

private:
    WakeEvent m_event;
    QSocketNotifier m_notifier;
    std::function<void()> m_handler;
};

} // namespace tavrel

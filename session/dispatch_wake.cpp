#include "session/dispatch_wake.h"

#include <QMetaObject>

namespace tavrel {

DispatchWake::DispatchWake(std::function<void()> handler)
    : m_notifier(m_event.fd(), QSocketNotifier::Read), m_handler(std::move(handler)) {
    m_notifier.setEnabled(m_event.valid());
    QObject::connect(&m_notifier, &QSocketNotifier::activated, &m_notifier, [this] {
        m_event.reset(); // before the run, so that a request made during it wakes the thread again
        m_handler();
    });
}

void DispatchWake::request() noexcept {
    if (m_event.valid()) {
        m_event.signal();
        return;
    }
    // No eventfd to be had: a queued call on the same thread does the same.
    QMetaObject::invokeMethod(
        &m_notifier, [this] { m_handler(); }, Qt::QueuedConnection);
}

} // namespace tavrel

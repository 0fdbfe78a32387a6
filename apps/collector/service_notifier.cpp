// sd_notify messages and the watchdog timer at half the period systemd asks for.
#include "apps/collector/service_notifier.h"

#include <QTimer>

#include <chrono>
#include <string>

#include <systemd/sd-daemon.h>

namespace tavrel {

ServiceNotifier::ServiceNotifier(QObject* parent) : QObject(parent) {
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        m_watchdog = new QTimer(this);
        // Fed from the event loop itself: a loop that stops turning stops feeding it.
        connect(m_watchdog, &QTimer::timeout, this, [] { sd_notify(0, "WATCHDOG=1"); });
        m_watchdog->start(std::chrono::milliseconds(usec / 2000));
    }
}

void ServiceNotifier::ready() {
    sd_notify(0, "READY=1");
}

void ServiceNotifier::reloading() {
    sd_notify(0, "RELOADING=1");
}

void ServiceNotifier::stopping() {
    sd_notify(0, "STOPPING=1");
}

void ServiceNotifier::status(const char* text) {
    sd_notify(0, (std::string("STATUS=") + text).c_str());
}

bool ServiceNotifier::watchdogRunning() const {
    return m_watchdog != nullptr;
}

} // namespace tavrel

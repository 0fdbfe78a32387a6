// Tells systemd how the service is doing (Type=notify): ready, reloading, stopping, and the watchdog's
// keep-alive fed from the event loop, so a loop that hangs gets the service restarted.
#pragma once

#include <QObject>

class QTimer;

namespace tavrel {

class ServiceNotifier : public QObject {
public:
    explicit ServiceNotifier(QObject* parent = nullptr);

    // Without systemd (no $NOTIFY_SOCKET) each of these does nothing.
    void ready();
    void reloading();
    void stopping();
    void status(const char* text);
    bool watchdogRunning() const;

private:
    QTimer* m_watchdog = nullptr;
};

} // namespace tavrel

// The repeater-log receiver: a task that takes the repeater's UDP text log and hands each datagram over.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/notification.h"

namespace tavrel {

class OmLink;
class UdpReceiveTask;

class LogReceiver {
public:
    static constexpr std::size_t kSlotSize = 1024;
    static constexpr int kSlotCount = 4;

    LogReceiver(NotificationHub& hub, OmLink& link);
    ~LogReceiver(); // stops the task and waits for it
    LogReceiver(const LogReceiver&) = delete;
    LogReceiver& operator=(const LogReceiver&) = delete;

    // 1 when already running; otherwise stores the address (cut to 15 characters) and port, starts the
    // task, sends SETLOGDST once and returns 0. "Running" counts from the first start until the task has
    // ended, so a second start before the task has bound is refused too. -1 when no thread can be made.
    int startLogReceiver(std::string_view localAddress, int port);
    // Clears the run flag and wakes the task at once.
    void stopLogReceiver();
    // Waits for the task to end; not on the window thread while the hub can still deliver to the window.
    void join();

    // logRunning: true while the task holds a bound socket.
    bool running() const;
    const std::string& address() const { return m_address; }
    int port() const { return m_port; }

private:
    OmLink& m_link;
    std::string m_address;
    int m_port = 0;
    std::unique_ptr<UdpReceiveTask> m_task;
};

} // namespace tavrel

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

    // 1 when already running; otherwise stores the address (cut to 15 characters) and port, starts the
    // task, sends SETLOGDST once and returns 0.
    int startLogReceiver(std::string_view localAddress, int port);
    // Clears the run flag and wakes the task at once.
    void stopLogReceiver();
    void join();

    // logRunning: true while the task holds a bound socket.
    bool running() const;
    const std::string& address() const { return m_address; }
    int port() const { return m_port; }

private:
    NotificationHub& m_hub;
    OmLink& m_link;
    std::string m_address;
    int m_port = 0;
    std::unique_ptr<UdpReceiveTask> m_task;
};

} // namespace tavrel

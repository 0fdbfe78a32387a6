// The air-log receiver: a task that takes the repeater's binary air-interface records and hands them over.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/notification.h"

namespace tavrel {

class UdpReceiveTask;

class AirLogReceiver {
public:
    static constexpr std::size_t kSlotSize = 64;
    static constexpr int kSlotCount = 16;

    explicit AirLogReceiver(NotificationHub& hub);
    ~AirLogReceiver(); // stops the task and waits for it
    AirLogReceiver(const AirLogReceiver&) = delete;
    AirLogReceiver& operator=(const AirLogReceiver&) = delete;

    // 1 when already running (from the first start until the task has ended, so a second start before
    // the task has bound is refused too); otherwise stores the address (cut to 15) and port, starts the
    // task, 0. -1 when no thread can be made. Nothing is sent: AILOGON goes out from the menu with
    // address() and port().
    int startAirLogReceiver(std::string_view localAddress, int port);
    // Clears the run flag and wakes the task at once.
    void stopAirLogReceiver();
    // Waits for the task to end; not on the window thread while the hub can still deliver to the window.
    void join();

    bool running() const;
    const std::string& address() const { return m_address; }
    int port() const { return m_port; }

private:
    std::string m_address;
    int m_port = 0;
    std::unique_ptr<UdpReceiveTask> m_task;
};

} // namespace tavrel

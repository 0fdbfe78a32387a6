// A UDP receiver: a task that binds, waits, copies each datagram and hands it over through the hub. The
// repeater-log and air-log receivers are two of it with different profiles.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "handoff/notification.h"
#include "platform/wake_event.h"
#include "receivers/receiver_profiles.h"

namespace tavrel {

class Socket;

class UdpReceiver {
public:
    // Large enough that a burst is kept while the window thread is busy (the kernel caps it at rmem_max).
    static constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

    UdpReceiver(NotificationHub& hub, const UdpReceiveProfile& profile);
    ~UdpReceiver(); // stops the task and waits for it
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    static constexpr int kStarted = 0;
    static constexpr int kBusy = 1;
    static constexpr int kNoThread = -1;

    // Starts a task that binds to address:port (the port's low 16 bits): kStarted. kBusy, and nothing
    // done, while an earlier task has not ended yet (started but not yet bound, running, or quitting); the
    // thread of an ended task is joined first. kNoThread when the system refuses another thread.
    // The address is used as given (the settings hold it cut to 15 characters already).
    int start(std::string_view address, int port);
    // Clears the run flag and wakes the task at once; returns without waiting.
    void stop();
    // Waits until the task has ended. Not on the window thread while the hub can still deliver to it: the
    // task may be waiting for the window to handle its notification.
    void join();

    // True while the task holds a bound socket.
    bool running() const { return m_running.load(); }
    // True from start() until the task has ended.
    bool active() const { return m_active.load(); }
    // Where the last start bound, for the commands that announce it to the repeater.
    const std::string& address() const { return m_address; }
    int port() const { return m_port; }

private:
    void run(std::string address, int port);
    bool bindSocket(Socket& socket, const std::string& address, int port);
    void receiveLoop(const Socket& socket);
    // Takes every datagram queued on the socket, without blocking.
    void receiveQueued(const Socket& socket);
    void postError(std::string_view text, int code);

    NotificationHub& m_hub;
    const UdpReceiveProfile m_profile;
    std::string m_address;
    int m_port = 0;
    std::vector<char> m_ring;
    std::size_t m_slot = 0;
    std::atomic<bool> m_runFlag{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_active{false};
    WakeEvent m_wake;
    std::thread m_thread;
};

} // namespace tavrel

// The O&M connection task: one TCP connection to the repeater's port 2301, kept up for the whole run.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "handoff/notification.h"
#include "link/link_machine.h"
#include "platform/socket.h"
#include "platform/wake_event.h"
#include "protocol/om_commands.h"

namespace tavrel {

// A repeater that vanishes without closing the connection is reported lost within this time.
inline constexpr std::chrono::seconds kLinkLossNoticedWithin{30};

// Turns TCP keep-alive on, tuned (idle, interval, count, user time-out) to notice a vanished repeater
// within kLinkLossNoticedWithin; false when the system refuses one of the options.
bool enableLinkKeepAlive(const Socket& socket);

// A socket for a reconnection: keep-alive and no-delay on (failures ignored: the link still works, only
// slower to notice a power cut).
Socket freshLinkSocket();

// Begins a non-blocking connect of the socket to the repeater's O&M port (or a relay's, given its port): true
// when it is connected or under way (to be finished when the socket is writable), false when it failed at
// once.
bool beginLinkConnect(const Socket& socket, std::string_view repeaterAddress,
                      std::uint16_t port = om::kOmPort);

// What one read from the O&M channel takes at most; an alarm report is far shorter.
inline constexpr std::size_t kLinkChunkBytes = 256;

class OmLink {
public:
    static constexpr std::uint16_t serverPort = om::kOmPort;
    static constexpr std::chrono::milliseconds kRetryPause = LinkMachine::kRetryPause;
    static constexpr std::chrono::milliseconds kConnectTimeout = LinkMachine::kConnectTimeout;

    explicit OmLink(NotificationHub& hub);
    ~OmLink(); // stops the task and waits for it
    OmLink(const OmLink&) = delete;
    OmLink& operator=(const OmLink&) = delete;

    // 0 started; -1 no socket (or no wake-up descriptor); -2 keep-alive refused; -3 no-delay refused
    // (errno tells why); 1 when this link was already started: a link runs its task once.
    // The port is the repeater's own unless the link goes through a relay (the window's --via).
    int startOmLink(std::string_view repeaterAddress, std::uint16_t port = serverPort);
    // Clears the run flag, shuts the socket down and wakes the task from any wait; returns at once. After
    // it nothing more is sent, and the task posts only its quit text and ends.
    void stopOmLink();
    // Waits until the task has ended (it ends within milliseconds of stopOmLink()). Not on the window
    // thread while the window is still registered with the hub: the task may be handing it a notification.
    void join();

    // One unterminated write of the text on the current socket without waiting for buffer space; false
    // when there is no socket or the text was not taken whole. Called on the window's thread.
    bool send(std::string_view text);
    // A link-checking send: when the send fails, the socket it failed on is dropped as by dropConnection().
    bool sendCheckingLink(std::string_view text);
    // Shut the socket down and mark it invalid; the task, which owns the descriptor, sees its receive
    // fail, reports the loss and reconnects.
    void dropConnection();
    // True while a connected socket is in place; sends are skipped otherwise.
    bool hasSocket() const;

    const std::string& serverAddress() const { return m_serverAddress; }

private:
    enum class Attempt { Connected, Failed, Stopped };
    enum class Ending { Lost, Stopped };

    void run(Socket socket);
    bool running() const { return m_runFlag.load(); }
    bool pauseUntil(std::chrono::steady_clock::time_point until);
    Attempt connectOnce(const Socket& socket);
    std::shared_ptr<Socket> currentSocket() const;
    std::shared_ptr<Socket> takeSocket(const Socket* expected = nullptr);
    bool publish(const std::shared_ptr<Socket>& socket);
    void unpublish(const std::shared_ptr<Socket>& socket);
    Ending receiveUntilLoss(const std::shared_ptr<Socket>& socket);

    NotificationHub& m_hub;
    std::string m_serverAddress;
    std::uint16_t m_serverPort = serverPort;
    LinkMachine m_machine; // the task's alone
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_runFlag{false};
    // Only the connected socket is published. It is shared with the window thread's sends; the descriptor
    // closes when the last holder lets go, so its number is never reused under a thread that still uses it.
    // The mutex guards only copies of the pointer (never a blocking call), and orders publishing against
    // stop, so that no socket is put in place once stop has returned.
    mutable std::mutex m_socketMutex;
    std::shared_ptr<Socket> m_socket;
    WakeEvent m_wake;
    std::thread m_task;
};

} // namespace tavrel

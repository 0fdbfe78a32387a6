// The O&M connection task: one TCP connection to the repeater's port 2301, kept up for the whole run.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "app/notification.h"
#include "platform/socket.h"
#include "platform/wake_event.h"

namespace tavrel {

class OmLink {
public:
    static constexpr std::uint16_t serverPort = 2301;

    explicit OmLink(NotificationHub& hub);
    ~OmLink(); // stops the task and waits for it
    OmLink(const OmLink&) = delete;
    OmLink& operator=(const OmLink&) = delete;

    // 0 started; -1 no socket; -2 keep-alive refused; -3 no-delay refused (errno tells why).
    int startOmLink(std::string_view repeaterAddress);
    // Clears the run flag and wakes the task from any wait; returns at once. After it the task posts
    // only its quit text and ends.
    void stopOmLink();
    // Waits until the task has ended (it ends within milliseconds of stopOmLink()).
    void join();

    // One unterminated write of the text on the current socket; false when there is no socket or the
    // send failed. Called on the window's thread.
    bool send(std::string_view text);
    // After a failed link-checking send: shut the socket down and mark it invalid; the task, which owns
    // the descriptor, sees its receive fail, reports the loss and reconnects.
    void dropConnection();
    // True while a socket is in place (connected or connecting).
    bool hasSocket() const;

    const std::string& serverAddress() const { return m_serverAddress; }

private:
    void run();

    NotificationHub& m_hub;
    std::string m_serverAddress;
    std::atomic<bool> m_runFlag{false};
    // Shared with the window thread's sends; the descriptor closes when the last holder lets go, so its
    // number is never reused under a thread that still uses it.
    std::atomic<std::shared_ptr<Socket>> m_socket;
    WakeEvent m_wake;
    std::thread m_task;
};

} // namespace tavrel

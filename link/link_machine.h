// The O&M link's states without any socket or thread: connect, connected, waiting to retry, timed out. It
// takes events and the time and answers what to do and when to wake, so that the window's blocking link task
// and the collector's event loop carry the same machine.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string_view>

namespace tavrel {

class LinkMachine {
public:
    using Clock = std::chrono::steady_clock;
    // Extra wait before each retry, on top of the pause (the collector's spread); empty: none.
    using Jitter = std::function<std::chrono::milliseconds()>;

    // Connection attempts start at least this far apart, so a refusing or flapping repeater is neither
    // flooded nor spins a core, and one that comes back is connected well within a second.
    static constexpr std::chrono::milliseconds kRetryPause{300};
    // A connect that is not answered (repeater switched off) is given up after this and tried afresh.
    static constexpr std::chrono::milliseconds kConnectTimeout{2000};
    // The event-log line of a link that starts.
    static constexpr std::string_view kConnectingText = "Connecting to repeater...";

    enum class State { Stopped, Waiting, Connecting, Connected };
    enum class Action {
        None,
        Connect,         // begin a connection attempt on a fresh socket
        Abandon,         // close the attempt's socket: failed or not answered; a retry is planned
        ReportConnected, // the link is up
        ReportLost,      // the link is down; close its socket; a retry is planned
    };

    explicit LinkMachine(Jitter jitter = {}) : m_jitter(std::move(jitter)) {}

    // The link starts: the connecting line is to be told, and the first attempt is due after the jitter.
    std::string_view start(Clock::time_point now);
    // Stopped: nothing more is due.
    void stop();

    // The wake-up time has come (or any time: early calls do nothing): an attempt is due, or the one under
    // way timed out.
    Action onWake(Clock::time_point now);
    // What became of the attempt under way.
    Action onConnectSucceeded();
    Action onConnectFailed(Clock::time_point now);
    // The connected link was lost (closed, reset, dropped after a failed send, given up by keep-alive).
    Action onLost(Clock::time_point now);

    State state() const { return m_state; }
    // When onWake() is to be called next; nothing while connected or stopped.
    std::optional<Clock::time_point> wakeAt() const;

private:
    void planRetry(Clock::time_point now);
    std::chrono::milliseconds jitter() const { return m_jitter ? m_jitter() : std::chrono::milliseconds{0}; }

    Jitter m_jitter;
    State m_state = State::Stopped;
    Clock::time_point m_attemptStarted{};
    Clock::time_point m_due{};
};

} // namespace tavrel

// The deadlines of every watched repeater's timers in one ordered set, so that a single event-loop timer
// serves a fleet of any size; the caller passes the time in, so tests step it without waiting.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>

namespace tavrel {

class TimerSchedule {
public:
    using Clock = std::chrono::steady_clock;

    struct Key {
        std::uint32_t owner = 0; // the repeater's id in its fleet
        int id = 0;              // the timer's id (session/session_timers.h or the fleet's own)
        friend auto operator<=>(const Key&, const Key&) = default;
    };

    // Sets the key's deadline, replacing the one it had.
    void start(Key key, Clock::time_point due);
    void stop(Key key);
    // Stops every timer of the owner.
    void stopAll(std::uint32_t owner);

    bool active(Key key) const { return m_due.contains(key); }
    std::optional<Clock::time_point> due(Key key) const;
    std::size_t size() const { return m_due.size(); }

    // The earliest deadline; nothing while no timer runs.
    std::optional<Clock::time_point> nextDue() const;
    // Removes and returns the key with the earliest deadline at or before now, if any.
    std::optional<Key> takeDue(Clock::time_point now);

private:
    std::set<std::pair<Clock::time_point, Key>> m_order;
    std::map<Key, Clock::time_point> m_due;
};

} // namespace tavrel

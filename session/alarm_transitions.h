// The history side of the alarm reports: which alarm came, went or was found active, and how long it lasted.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "session/alarm_lamps.h"

namespace tavrel {

using WallClock = std::chrono::system_clock;

struct AlarmTransition {
    enum class Kind {
        Active,  // found active by the first report after a connection
        Raised,  // came on between two reports of one connection
        Cleared, // went off (also found gone by the first report after a reconnection)
    };
    int lamp = 0; // index into kLamps
    Kind kind = Kind::Raised;
    WallClock::time_point at;
    // How long the alarm was on (Cleared only): from when it was raised or first found active.
    std::chrono::seconds lasted{0};
};

// "ALARM Rx PLL raised", "ALARM Rx PLL cleared after 00:03:12", "ALARM Rx PLL active".
std::string formatAlarmTransition(const AlarmTransition& transition);
// "hh:mm:ss"; hours go past 99 when they must, a negative duration (clock set back) shows as 00:00:00.
std::string formatDuration(std::chrono::seconds duration);

// Follows the reports of one repeater. While the link is down the state is unknown, not cleared: nothing is
// made up by a disconnection, and the first report after the next connection tells what changed meanwhile.
class AlarmTracker {
public:
    // The link is up: the next report states what is active rather than what changed.
    void onConnected() { m_firstReport = true; }
    // The transitions the report makes, in lamp order; none when the bits are those of the last report.
    std::vector<AlarmTransition> onReport(std::int32_t bits, WallClock::time_point now);

    // Whether any report has been seen.
    bool known() const { return m_known; }
    bool active(int lamp) const { return m_lamps.at(static_cast<std::size_t>(lamp)).active; }
    // How often the alarm came on (raised, or found active after being off or unknown).
    std::uint64_t raisedCount(int lamp) const { return m_lamps.at(static_cast<std::size_t>(lamp)).raised; }
    // When the alarm last came on or went off; the epoch while it never did.
    WallClock::time_point lastChange(int lamp) const {
        return m_lamps.at(static_cast<std::size_t>(lamp)).changed;
    }

private:
    struct Lamp {
        bool active = false;
        WallClock::time_point since{}; // on since
        WallClock::time_point changed{};
        std::uint64_t raised = 0;
    };
    std::array<Lamp, kLampCount> m_lamps{};
    bool m_known = false;
    bool m_firstReport = true;
};

} // namespace tavrel

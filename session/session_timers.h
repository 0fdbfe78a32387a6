// The timers of a monitoring run (numbered as the window timers they once were) and their periods, and the
// window's own lamp timer, which paints the blinking lamps.
#pragma once

#include <chrono>

namespace tavrel {

namespace timer {
inline constexpr int kHeartbeat = 100;
inline constexpr int kLogDestination = 101;
inline constexpr int kAlarmQuery = 102;
// The window's: it runs only while a lamp may blink.
inline constexpr int kLampPaint = 103;

// The session's timers.
inline constexpr int kFirst = kHeartbeat;
inline constexpr int kCount = 3;

inline constexpr std::chrono::milliseconds kHeartbeatPeriod{5000};
inline constexpr std::chrono::milliseconds kLogDestinationPeriod{1000};
inline constexpr std::chrono::milliseconds kAlarmQueryPeriod{2000};
inline constexpr std::chrono::milliseconds kLampPaintPeriod{200};

constexpr std::chrono::milliseconds period(int id) {
    switch (id) {
    case kHeartbeat:
        return kHeartbeatPeriod;
    case kLogDestination:
        return kLogDestinationPeriod;
    case kAlarmQuery:
        return kAlarmQueryPeriod;
    default:
        return kLampPaintPeriod;
    }
}
} // namespace timer

} // namespace tavrel

// The local wall-clock time that stamps event-log lines and names the run files.
#pragma once

#include <ctime>
#include <functional>

namespace tavrel {

struct StampedTime {
    int year = 0;
    int month = 0; // 1-12
    int day = 0;
    int hour = 0; // 0-23
    int minute = 0;
    int second = 0;

    friend bool operator==(const StampedTime&, const StampedTime&) = default;
};

// The given moment in the PC's time zone, daylight saving applied.
StampedTime localStampedTime(std::time_t moment);
// Now, in local time.
StampedTime currentStampedTime();

// Where the window takes its time from; tests put a fixed or stepping clock in.
using StampClock = std::function<StampedTime()>;

} // namespace tavrel

// What every watched repeater shares with its fleet: the poller and timer schedule of the one event loop, the
// clocks, where logs are sent and filed, and the random source of the reconnection jitter.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "platform/event_poller.h"
#include "platform/timer_schedule.h"
#include "session/monitor_rules.h"
#include "session/stamped_time.h"

namespace tavrel {

struct FleetContext {
    EventPoller& poller;
    TimerSchedule& timers;
    std::function<TimerSchedule::Clock::time_point()> steadyNow;
    MonitorRules::WallTime wallNow;
    StampClock stampNow;
    std::mt19937& random;
    std::string localAddress;
    std::uint16_t logPort = 0;
    std::uint16_t airPort = 0;
    std::string stateDir;
    bool keepFilesOpen = false; // the run files stay open between lines
    // The collector's own log (standard error or the journal).
    std::function<void(const std::string&)> say;
};

} // namespace tavrel

// What a scrape reads of one watched repeater. Written and read on the event loop's thread today; atomic so
// that a scrape from another thread (a second loop, a test's reader) needs no lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "session/alarm_lamps.h"

namespace tavrel {

// The run files of a repeater, in the order of RepeaterMetrics::runFileWritable.
inline constexpr std::array<std::string_view, 3> kRunFileLabels{"run_log", "downlink", "uplink"};

struct RepeaterMetrics {
    explicit RepeaterMetrics(std::string repeaterName) : name(std::move(repeaterName)) {}

    const std::string name;
    std::atomic<bool> up{false};
    // An alarm report has come since the link came up: the five alarm states are known.
    std::atomic<bool> alarmsKnown{false};
    std::array<std::atomic<bool>, kLampCount> alarmActive{};
    std::array<std::atomic<std::uint64_t>, kLampCount> alarmRaised{};
    // Milliseconds since the Unix epoch of the last change; 0 while the alarm never changed.
    std::array<std::atomic<std::int64_t>, kLampCount> alarmLastChangeMs{};
    std::atomic<std::uint64_t> logLines{0};
    std::atomic<std::uint64_t> airRecords{0};
    std::atomic<std::uint64_t> connects{0};
    std::atomic<std::uint64_t> disconnects{0};
    // Whether the last write of each run file went in (a file not written yet counts as writable).
    std::array<std::atomic<bool>, kRunFileLabels.size()> runFileWritable{true, true, true};
    // The relay's, present while it listens (relay_listen set).
    std::atomic<bool> relayed{false};
    std::atomic<std::uint64_t> relayClients{0};
    std::atomic<std::uint64_t> relayCommandsSent{0};
    std::atomic<std::uint64_t> relayCommandsRefused{0};
    std::atomic<std::uint64_t> relayRefusedConnections{0};
};

} // namespace tavrel

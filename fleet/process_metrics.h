// The standard process metrics every Prometheus client exports (process_cpu_seconds_total and its kin),
// read from /proc as the Go client reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include <prometheus/metric_family.h>

namespace tavrel {

struct ProcessStats {
    double cpuSeconds = 0;       // user and system time
    double startTimeSeconds = 0; // Unix time
    std::uint64_t residentBytes = 0;
    std::uint64_t virtualBytes = 0;
};

// The values of /proc/<pid>/stat's text, with the clock ticks per second, the page size and the boot time
// (btime of /proc/stat); nothing when the text is not such a line.
std::optional<ProcessStats> parseProcessStat(std::string_view stat, long ticksPerSecond, long pageBytes,
                                             std::uint64_t bootTime);

// The families of this process, now: those that cannot be read are left out.
std::vector<prometheus::MetricFamily> processFamilies();

} // namespace tavrel

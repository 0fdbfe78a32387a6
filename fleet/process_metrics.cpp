// /proc/self/stat, /proc/stat's btime, /proc/self/fd and the descriptor limit as Prometheus families.
#include "fleet/process_metrics.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "fleet/setting_text.h"

namespace tavrel {
namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

// Fields of /proc/<pid>/stat counted from 1 as in proc(5); the ones after the command name's ')'.
constexpr int kFirstFieldAfterName = 3;
constexpr int kUserTime = 14;
constexpr int kSystemTime = 15;
constexpr int kStartTime = 22;
constexpr int kVirtualSize = 23;
constexpr int kResidentPages = 24;

std::string readText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<std::uint64_t> bootTime() {
    const std::string stat = readText("/proc/stat");
    const auto at = stat.find("\nbtime ");
    if (at == std::string::npos)
        return std::nullopt;
    const auto begin = at + 7;
    return parseNumber(std::string_view(stat).substr(begin, stat.find('\n', begin) - begin));
}

MetricFamily one(std::string name, std::string help, MetricType type, double value) {
    ClientMetric metric;
    (type == MetricType::Counter ? metric.counter.value : metric.gauge.value) = value;
    return MetricFamily{std::move(name), std::move(help), type, {metric}};
}

} // namespace

std::optional<ProcessStats> parseProcessStat(std::string_view stat, long ticksPerSecond, long pageBytes,
                                             std::uint64_t bootTime) {
    // The command name is in parentheses and may hold spaces and ')': the fields start after the last ')'.
    const auto close = stat.rfind(')');
    if (close == std::string_view::npos || ticksPerSecond <= 0)
        return std::nullopt;
    std::string_view rest = stat.substr(close + 1);
    std::uint64_t fields[kResidentPages + 1] = {};
    for (int field = kFirstFieldAfterName; field <= kResidentPages; ++field) {
        const auto start = rest.find_first_not_of(' ');
        if (start == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(start);
        const std::string_view word = rest.substr(0, rest.find_first_of(" \n"));
        rest.remove_prefix(word.size());
        if (field < kUserTime)
            continue; // state, parents, faults: not needed (the state is no number)
        const auto value = parseNumber(word);
        if (!value)
            return std::nullopt;
        fields[field] = *value;
    }
    const double ticks = static_cast<double>(ticksPerSecond);
    return ProcessStats{static_cast<double>(fields[kUserTime] + fields[kSystemTime]) / ticks,
                        static_cast<double>(bootTime) + static_cast<double>(fields[kStartTime]) / ticks,
                        fields[kResidentPages] * static_cast<std::uint64_t>(pageBytes), fields[kVirtualSize]};
}

std::vector<MetricFamily> processFamilies() {
    std::vector<MetricFamily> families;
    const auto boot = bootTime();
    const auto stats = boot ? parseProcessStat(readText("/proc/self/stat"), ::sysconf(_SC_CLK_TCK),
                                               ::sysconf(_SC_PAGESIZE), *boot)
                            : std::nullopt;
    if (stats) {
        families.push_back(one("process_cpu_seconds_total",
                               "Total user and system CPU time spent in seconds.", MetricType::Counter,
                               stats->cpuSeconds));
        families.push_back(one("process_resident_memory_bytes", "Resident memory size in bytes.",
                               MetricType::Gauge, static_cast<double>(stats->residentBytes)));
        families.push_back(one("process_virtual_memory_bytes", "Virtual memory size in bytes.",
                               MetricType::Gauge, static_cast<double>(stats->virtualBytes)));
        families.push_back(one("process_start_time_seconds",
                               "Start time of the process since unix epoch in seconds.", MetricType::Gauge,
                               stats->startTimeSeconds));
    }
    std::error_code error;
    double open = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++open;
    if (!error)
        families.push_back(one("process_open_fds", "Number of open file descriptors.", MetricType::Gauge,
                               open - 1)); // less the one that lists them
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0)
        families.push_back(one("process_max_fds", "Maximum number of open file descriptors.",
                               MetricType::Gauge, static_cast<double>(limit.rlim_cur)));
    return families;
}

} // namespace tavrel

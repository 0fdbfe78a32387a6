// What the fleet bench asks of a running collector and emulator fleet: a timed scrape of /metrics with the
// number of repeaters up, another process's CPU time, and the run logs' numbered lines.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/socket.h"

namespace tavrel::bench {

struct Scrape {
    bool ok = false;
    double milliseconds = 0; // from connecting to the last byte of the answer
    std::size_t bytes = 0;
    int repeatersUp = 0; // tavrel_repeater_up series at 1
    std::string body;
};

// GET /metrics from 127.0.0.1:port.
Scrape scrapeMetrics(std::uint16_t port);
// The scrape of a whole answer received now, begun at start.
Scrape parseScrape(const std::string& answer, std::chrono::steady_clock::time_point start);

// count connections to 127.0.0.1:port from 127.0.23.10 onwards (ten source addresses, so that no one address
// reaches the collector's per-address limit), sending nothing; the invalid ones were refused.
std::vector<Socket> openConnections(std::uint16_t port, int count);

// User plus system CPU time of the process, in microseconds (from /proc/<pid>/stat).
std::optional<std::int64_t> processCpuMicrosOf(pid_t pid);

// The numbered log lines ("SEQ n ...") in every run log under the state directory: how many, how many came
// twice or out of order per repeater, and how many numbers are missing below each repeater's highest.
struct FiledLines {
    std::uint64_t lines = 0;
    std::uint64_t twice = 0;
    std::uint64_t missing = 0;
    int runLogs = 0;
};
FiledLines countFiledLines(const std::filesystem::path& stateDir);

} // namespace tavrel::bench

// Markdown rendering of the results and the description of the machine they were measured on.
#include "bench/result_table.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <thread>

#include <sys/utsname.h>

#include "bench/proc_stats.h"

namespace tavrel::bench {
namespace {

std::string metText(const std::optional<bool>& met) {
    if (!met)
        return "n/a";
    return *met ? "yes" : "**no**";
}

std::string cpuModel() {
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line))
        if (line.starts_with("model name")) {
            const auto colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    return "unknown CPU";
}

} // namespace

std::string formatResultTable(const std::string& commonConditions, const std::vector<ResultRow>& rows) {
    std::string table = commonConditions + "\n\n";
    table += "| # | Figure | Conditions | Tavrel | Reference, side by side | Target | Met |\n";
    table += "|---|---|---|---|---|---|---|\n";
    int number = 0;
    for (const ResultRow& row : rows) {
        table += "| " + std::to_string(++number) + " | " + row.figure + " | " + row.conditions + " | " +
                 row.tavrel + " | " + row.reference + " | " + row.target + " | " + metText(row.met) + " |\n";
    }
    return table;
}

std::string machineCheck() {
    constexpr std::uint64_t kSteps = 200'000'000;
    const std::int64_t startNs = monotonicNs();
    std::uint64_t state = 88172645463325252ULL;
    for (std::uint64_t i = 0; i < kSteps; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
    }
    const double ms = static_cast<double>(monotonicNs() - startNs) / 1e6;
    volatile std::uint64_t sink = state; // keeps the loop
    (void)sink;
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    char text[96];
    std::snprintf(text, sizeof text, "fixed loop %.0f ms, load %.2f", ms, load);
    return text;
}

std::string describeMachine(bool quick, const std::string& checkAtStart, const std::string& checkAtEnd) {
    utsname names{};
    ::uname(&names);
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d", std::localtime(&now));
    std::string text =
        "Measured " + std::string(date) + " on " + cpuModel() + ", " +
        std::to_string(std::thread::hardware_concurrency()) + " cores shared by the tool, the " +
        "load sender and the repeater emulator; Linux " + names.release +
        "; release build (-O3), Qt offscreen platform; all traffic on 127.0.7.x loopback. Machine check " +
        "(a 200M-step xorshift loop on one core, and the 1-minute load average) at the start: " +
        checkAtStart + "; at the end: " + checkAtEnd + ".";
    if (quick)
        text += " QUICK MODE: shortened runs to try the bench out, not the measurements.";
    return text;
}

} // namespace tavrel::bench

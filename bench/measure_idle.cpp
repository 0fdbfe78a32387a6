// Figure 1: CPU time of the connected, idle tool, beside a receiver that polls every 500 microseconds.
#include <cstdint>
#include <cstdio>

#include "bench/load_sender.h"
#include "bench/measurements.h"
#include "bench/proc_stats.h"

namespace tavrel::bench {
namespace {

using namespace std::chrono_literals;

constexpr double kTargetPercentOfCore = 0.1;
constexpr auto kSettle = 2s;
// A window left running has a full event-log view (between none and 1999 lines, when it is emptied), so the
// scroll bar moves with new lines; the view is filled with half of that before the measurement.
constexpr std::uint64_t kFillLines = 1000;

} // namespace

ResultRow measureIdle(BenchEnvironment& env) {
    const BenchConfig& config = env.config();
    const int seconds = config.quick ? 10 : 60;
    ResultRow row{"Idle CPU",
                  std::to_string(seconds) + " s connected to `tavrel-repeater --quiet` after " +
                      std::to_string(kFillLines) +
                      " log lines have filled the event-log view, both receivers running, " +
                      "all window timers, air log window shown (LOG On); getrusage of the tool's process",
                  "-",
                  "-",
                  "< " + fixed(kTargetPercentOfCore, 1) + " % of one core",
                  std::nullopt};

    auto window = env.startWindow("idle", config.repeaterAddress, true);
    if (!window) {
        row.tavrel = "window did not start";
        return row;
    }
    LoadSender sender(config.repeaterAddress);
    std::vector<LoadStream> fill{
        {LoadStream::Kind::LogLine, config.localAddress, config.logPort, 1000, kFillLines}};
    sender.run(fill, SendOptions{});
    env.waitDrained(config.logPort, window->runLog(), 10s);
    pause(kSettle); // past the first SETLOGDST repeats and lamp ticks after connecting
    env.progress("idle: " + std::to_string(seconds) + " s, tool and polling reference side by side");

    auto reference = ChildProcess::start(
        {config.binDir + "/tavrel_bench", "poll-receiver", "--address", config.localAddress, "--ports",
         std::to_string(config.referenceLogPort) + "," + std::to_string(config.referenceAirPort), "--seconds",
         std::to_string(seconds)},
        ChildOutput{true, "", config.workDir + "/poll-receiver.err"});

    const auto cpuBefore = window->cpuMicros();
    const std::int64_t startNs = monotonicNs();
    pause(std::chrono::seconds(seconds));
    const auto cpuAfter = window->cpuMicros();
    const std::int64_t wallNs = monotonicNs() - startNs;
    window->close();

    if (!cpuBefore || !cpuAfter) {
        row.tavrel = "no CPU reading";
        return row;
    }
    const double toolPercent =
        static_cast<double>(*cpuAfter - *cpuBefore) * 1000.0 / static_cast<double>(wallNs) * 100;
    row.tavrel = fixed(toolPercent, 3) + " % of one core (" + milliseconds((*cpuAfter - *cpuBefore) * 1000) +
                 " CPU in " + std::to_string(seconds) + " s)";
    row.met = toolPercent < kTargetPercentOfCore;

    const auto usage = reference ? reference->waitForLine("usage ", 15s) : std::nullopt;
    long long referenceCpu = 0, referenceWall = 0;
    if (usage && std::sscanf(usage->c_str(), "%lld %lld", &referenceCpu, &referenceWall) == 2 &&
        referenceWall > 0) {
        const double referencePercent =
            static_cast<double>(referenceCpu) / static_cast<double>(referenceWall) * 100;
        row.reference = "2 receivers polling with a 500 us select() time-out: " + fixed(referencePercent, 2) +
                        " % of one core; the tool uses " +
                        (toolPercent > 0 ? fixed(referencePercent / toolPercent, 0) + "x less" : "none");
    } else {
        row.reference = "reference did not report";
    }
    return row;
}

} // namespace tavrel::bench

// Figure 5: time from a log datagram's send to its line in the run log, at a steady 1,000 lines per second.
#include <cmath>
#include <fstream>

#include "bench/load_sender.h"
#include "bench/measurements.h"
#include "bench/run_log_follower.h"

namespace tavrel::bench {
namespace {

using namespace std::chrono_literals;

constexpr double kRate = 1000;
constexpr auto kTargetP99 = 5ms;

} // namespace

ResultRow measureLatency(BenchEnvironment& env) {
    const BenchConfig& config = env.config();
    const int seconds = config.quick ? 3 : 10;
    const auto count = static_cast<std::uint64_t>(kRate * seconds);
    ResultRow row{
        "Log latency",
        thousands(kRate) + " lines/s for " + std::to_string(seconds) +
            " s, each sent at its own moment with its CLOCK_MONOTONIC time in it; a reader thread " +
            "follows the run log with inotify and stamps each line when it has read it",
        "-",
        "-",
        "p99 < " + std::to_string(kTargetP99.count()) + " ms",
        std::nullopt};
    auto window = env.startWindow("latency", config.repeaterAddress, false);
    if (!window) {
        row.tavrel = "window did not start";
        return row;
    }
    env.progress("latency: " + std::to_string(count) + " lines at 1,000/s");
    RunLogFollower follower(window->runLog());
    if (!follower.valid()) {
        row.tavrel = "cannot follow the run log";
        return row;
    }
    LoadSender sender(config.repeaterAddress);
    std::vector<LoadStream> streams{
        {LoadStream::Kind::LogLine, config.localAddress, config.logPort, kRate, count}};
    SendOptions options;
    options.minTick = 0us;
    options.timeLimit = std::chrono::milliseconds(seconds * 1000 + 5000);
    const SendReport report = sender.run(streams, options);
    env.waitDrained(config.logPort, window->runLog(), 10s);
    follower.stop();
    window->close();

    const auto& latencies = follower.latenciesNs();
    SequenceCheck check(1, 1, count);
    // Every line's latency beside the run log, to see how it develops over the run.
    std::ofstream timeline(window->runLog() + ".latency");
    for (std::size_t i = 0; i < latencies.size(); ++i) {
        check.see(follower.sequences()[i]);
        timeline << follower.sequences()[i] << ' ' << latencies[i] << '\n';
    }
    const std::int64_t median = quantile(latencies, 0.5);
    const std::int64_t p99 = quantile(latencies, 0.99);
    const std::int64_t worst = quantile(latencies, 1.0);
    row.tavrel = "median " + milliseconds(median) + ", p99 " + milliseconds(p99) + ", max " +
                 milliseconds(worst) + " (" + check.summary() + "; sender at most " +
                 milliseconds(report.maxLagNs) + " behind)";
    row.met = check.complete() && p99 < std::chrono::nanoseconds(kTargetP99).count();
    return row;
}

} // namespace tavrel::bench

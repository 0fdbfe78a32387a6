// Figure 4, a diagnostic: the synchronous hand-off's own ceiling, which bounds both receivers' throughput.
#include <cstdio>

#include "bench/measurements.h"

namespace tavrel::bench {
namespace {

using namespace std::chrono_literals;

// Hand-offs per second of one probe run, or nothing when the probe did not report.
std::optional<double> runProbe(BenchEnvironment& env, long count, bool sleepAtOnce) {
    const BenchConfig& config = env.config();
    std::vector<std::string> command{config.binDir + "/tavrel_bench", "handoff", "--count",
                                     std::to_string(count)};
    if (sleepAtOnce)
        command.push_back("--sleep-at-once");
    auto probe = ChildProcess::start(
        command,
        ChildOutput{true, "", config.workDir + (sleepAtOnce ? "/handoff-sleep.err" : "/handoff.err")});
    const auto result = probe ? probe->waitForLine("handoff ", 120s) : std::nullopt;
    long long handed = 0, elapsedNs = 0;
    if (!result || std::sscanf(result->c_str(), "%lld %lld", &handed, &elapsedNs) != 2 || elapsedNs <= 0)
        return std::nullopt;
    return static_cast<double>(handed) / (static_cast<double>(elapsedNs) / 1e9);
}

std::string describeRate(double perSecond) {
    return thousands(perSecond) + " hand-offs/s (" + fixed(1e6 / perSecond, 1) + " us each)";
}

} // namespace

ResultRow measureHandoff(BenchEnvironment& env) {
    const long count = env.config().quick ? 20'000 : 200'000;
    ResultRow row{
        "Hand-off ceiling (diagnostic)",
        "one worker thread hands " + thousands(static_cast<double>(count)) +
            " notifications through NotificationHub to a window thread that dispatches them as the " +
            "main window does (an eventfd served by a socket notifier on the Qt event loop) with an empty "
            "handler",
        "-",
        "-",
        "none: bounds figures 2 and 3",
        std::nullopt};
    env.progress("hand-off ceiling: " + std::to_string(count) +
                 " notifications, watching and sleeping at once");
    const auto watching = runProbe(env, count, false);
    const auto sleeping = runProbe(env, count, true);
    row.tavrel = watching ? describeRate(*watching) + ", each side watching the other for a few microseconds "
                                                      "before it sleeps"
                          : "the probe did not report";
    row.reference = sleeping ? "the same hub with both sides sleeping at once (two thread wake-ups per "
                               "notification): " +
                                   describeRate(*sleeping)
                             : "the probe did not report";
    if (watching && sleeping)
        row.reference += "; watching hands over " + fixed(*watching / *sleeping, 1) + "x as many";
    return row;
}

} // namespace tavrel::bench

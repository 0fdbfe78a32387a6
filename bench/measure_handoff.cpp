// Figure 4, a diagnostic: the synchronous hand-off's own ceiling, which bounds both receivers' throughput.
#include <cstdio>

#include "bench/measurements.h"

namespace tavrel::bench {
namespace {

using namespace std::chrono_literals;

} // namespace

ResultRow measureHandoff(BenchEnvironment& env) {
    const BenchConfig& config = env.config();
    const long count = config.quick ? 20'000 : 200'000;
    ResultRow row{
        "Hand-off ceiling (diagnostic)",
        "one worker thread hands " + thousands(static_cast<double>(count)) +
            " notifications through NotificationHub to a window thread that dispatches them as the " +
            "main window does (queued call on the Qt event loop) with an empty handler",
        "-",
        "-",
        "none: bounds figures 2 and 3",
        std::nullopt};
    env.progress("hand-off ceiling: " + std::to_string(count) + " notifications");
    auto probe =
        ChildProcess::start({config.binDir + "/tavrel_bench", "handoff", "--count", std::to_string(count)},
                            ChildOutput{true, "", config.workDir + "/handoff.err"});
    const auto result = probe ? probe->waitForLine("handoff ", 120s) : std::nullopt;
    long long handed = 0, elapsedNs = 0;
    if (!result || std::sscanf(result->c_str(), "%lld %lld", &handed, &elapsedNs) != 2 || elapsedNs <= 0) {
        row.tavrel = "the probe did not report";
        return row;
    }
    const double perSecond = static_cast<double>(handed) / (static_cast<double>(elapsedNs) / 1e9);
    row.tavrel = thousands(perSecond) + " hand-offs/s (" + fixed(1e6 / perSecond, 1) +
                 " us each: two thread wake-ups per datagram)";
    return row;
}

} // namespace tavrel::bench

// Figure 6: resident memory in the steady state, after 4 and after 16 million messages (half log lines, half
// air records). The first million or so only warm the allocator up, so comparing against an early figure
// would measure that warm-up rather than a leak.
#include <cmath>

#include "bench/load_sender.h"
#include "bench/measurements.h"
#include "bench/proc_stats.h"

namespace tavrel::bench {
namespace {

using namespace std::chrono_literals;

constexpr double kTargetMegabytes = 150;
constexpr double kTargetGrowth = 0.10;
// Flow control: the sender waits while a receiver has more than this queued, so nothing is dropped.
constexpr std::int64_t kHoldAboveQueueBytes = 512 * 1024;

// Megabytes of 10^6 bytes, the target's unit.
double megabytes(std::int64_t kib) {
    return static_cast<double>(kib) * 1024.0 / 1e6;
}

} // namespace

ResultRow measureFootprint(BenchEnvironment& env) {
    const BenchConfig& config = env.config();
    // Of each kind: 2 + 2 and 8 + 8 million messages.
    const std::uint64_t firstCount = config.quick ? 200'000 : 2'000'000;
    const std::uint64_t fullCount = config.quick ? 800'000 : 8'000'000;
    ResultRow row{
        "Memory, steady state (VmRSS)",
        thousands(static_cast<double>(fullCount)) + " log lines (100 bytes) and " +
            thousands(static_cast<double>(fullCount)) +
            " air records (44 bytes) interleaved, as fast as the tool takes them (the sender holds back " +
            "while a receive queue exceeds 512 KiB), air log window shown; VmRSS and VmHWM from "
            "/proc/<pid>/status "
            "after " +
            thousands(static_cast<double>(2 * firstCount)) + " and after " +
            thousands(static_cast<double>(2 * fullCount)) + " messages",
        "-",
        "-",
        "peak < " + fixed(kTargetMegabytes, 0) + " MB, and VmRSS after " +
            thousands(static_cast<double>(2 * fullCount)) + " within " + fixed(kTargetGrowth * 100, 0) +
            " % of the figure after " + thousands(static_cast<double>(2 * firstCount)),
        std::nullopt};
    auto window = env.startWindow("footprint", config.repeaterAddress, true);
    if (!window) {
        row.tavrel = "window did not start";
        return row;
    }
    const pid_t pid = window->process().pid();
    const auto startHwm = procStatusKiB(pid, "VmHWM");

    LoadSender sender(config.repeaterAddress);
    std::vector<LoadStream> streams{
        {LoadStream::Kind::LogLine, config.localAddress, config.logPort, 0, firstCount},
        {LoadStream::Kind::AirRecord, config.localAddress, config.airPort, 0, firstCount, kAirRecordBytes}};
    SendOptions options;
    options.holdAboveQueueBytes = kHoldAboveQueueBytes;
    // Time-boxed, so that a slow tool cannot stretch the whole bench: what was reached is reported.
    const std::chrono::seconds timeBox = config.quick ? 60s : 600s;
    options.timeLimit = timeBox / 2;

    const auto dropsOf = [&](int port) {
        const auto state = udpSocketState(config.localAddress, port);
        return state ? state->drops : 0;
    };
    const std::int64_t dropsBefore = dropsOf(config.logPort) + dropsOf(config.airPort);

    env.progress("footprint: " + std::to_string(firstCount) + " lines and records");
    const std::int64_t startNs = monotonicNs();
    sender.run(streams, options);
    env.waitDrained(config.logPort, window->runLog(), 30s);
    env.waitDrained(config.airPort, window->uplinkData(), 30s);
    const auto firstRss = procStatusKiB(pid, "VmRSS");
    const std::uint64_t firstLines = streams[0].sent;
    const std::uint64_t firstRecords = streams[1].sent;

    env.progress("footprint: on to " + std::to_string(fullCount));
    for (LoadStream& stream : streams)
        stream.count = fullCount;
    options.timeLimit = std::chrono::duration_cast<std::chrono::milliseconds>(timeBox) -
                        std::chrono::milliseconds((monotonicNs() - startNs) / 1'000'000);
    sender.run(streams, options);
    env.waitDrained(config.logPort, window->runLog(), 30s);
    env.waitDrained(config.airPort, window->uplinkData(), 30s);
    const double seconds = static_cast<double>(monotonicNs() - startNs) / 1e9;
    const auto fullHwm = procStatusKiB(pid, "VmHWM");
    const auto fullRss = procStatusKiB(pid, "VmRSS");
    const std::int64_t drops = dropsOf(config.logPort) + dropsOf(config.airPort) - dropsBefore;
    window->close();

    if (!startHwm || !firstRss || !fullHwm || !fullRss) {
        row.tavrel = "no memory reading";
        return row;
    }
    const auto count = [](std::uint64_t n) { return thousands(static_cast<double>(n)); };
    const bool reached = streams[0].sent == fullCount && streams[1].sent == fullCount;
    const double growth = static_cast<double>(*fullRss - *firstRss) / static_cast<double>(*firstRss);
    row.tavrel =
        "VmRSS " + fixed(megabytes(*fullRss), 1) + " MB after " + count(streams[0].sent) + " lines and " +
        count(streams[1].sent) + " records" +
        (reached ? "" : " (the " + std::to_string(timeBox.count()) + " s time box ended the sending)") +
        "; " + fixed(megabytes(*firstRss), 1) + " MB after " + count(firstLines) + " and " +
        count(firstRecords) + " (" + (growth >= 0 ? "+" : "") + fixed(growth * 100, 1) + " % since); peak " +
        fixed(megabytes(*fullHwm), 1) + " MB (VmHWM); " + fixed(megabytes(*startHwm), 1) +
        " MB when connected; " + std::to_string(drops) + " dropped; " + fixed(seconds, 0) + " s";
    row.met = reached && megabytes(*fullHwm) < kTargetMegabytes && growth <= kTargetGrowth;
    return row;
}

} // namespace tavrel::bench

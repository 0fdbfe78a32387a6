// The relay's figures: a window whose O&M link goes through a collector's relay (tavrel --via) while the
// collector watches the bench's repeater. The load goes to the collector's log port; the relay copies each
// datagram to the window, which files it as it files the repeater's own.
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "bench/load_lines.h"
#include "bench/load_sender.h"
#include "bench/measurements.h"
#include "bench/proc_stats.h"
#include "bench/rate_search.h"
#include "bench/run_log_follower.h"

namespace tavrel::bench {
namespace {

using namespace std::chrono_literals;

constexpr int kCollectorLogPort = 47331;
constexpr int kCollectorAirPort = 47332;
constexpr int kCollectorMetricsPort = 47339;
constexpr int kRelayPort = 47340;
constexpr double kThroughputTarget = 50'000;
constexpr auto kAddedLatencyTarget = 1ms;
constexpr double kLatencyRate = 1000;
constexpr double kPaceTolerance = 0.98;
// The window's SETLOGDST (a command with arguments) is whole at the relay after its quiet gap.
constexpr auto kDestinationSettles = 500ms;

// A collector watching the bench's repeater with a relay; ended with the object.
struct RelayCollector {
    std::unique_ptr<ChildProcess> process;
    std::string via;
};

bool relayAccepts(const std::string& address, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
    ::close(fd);
    return connected;
}

std::optional<RelayCollector> startCollector(BenchEnvironment& env) {
    const BenchConfig& config = env.config();
    const std::string dir = env.newRunDir("collector");
    const std::string path = dir + "/collector.conf";
    std::ofstream(path) << "[collector]\nlocal_address=" << config.localAddress
                        << "\nlog_port=" << kCollectorLogPort << "\nair_port=" << kCollectorAirPort
                        << "\nmetrics_listen=" << config.localAddress << ":" << kCollectorMetricsPort
                        << "\nstate_dir=" << dir << "/state\n[bench]\naddress=" << config.repeaterAddress
                        << "\nrelay_listen=" << config.localAddress << ":" << kRelayPort << "\n";
    auto process = ChildProcess::start({config.binDir + "/tavrel-collector", "--config", path},
                                       ChildOutput{false, dir + "/collector.out", dir + "/collector.err"});
    if (!process)
        return std::nullopt;
    // The relay listens once the collector's link to the repeater is up.
    const std::int64_t deadline = monotonicNs() + 10'000'000'000;
    while (!relayAccepts(config.localAddress, kRelayPort)) {
        if (monotonicNs() > deadline) {
            env.progress("the collector's relay did not listen (see " + dir + "/collector.err)");
            return std::nullopt;
        }
        pause(50ms);
    }
    return RelayCollector{std::move(process), config.localAddress + ":" + std::to_string(kRelayPort)};
}

std::int64_t dropsAt(const BenchConfig& config, int port) {
    const auto state = udpSocketState(config.localAddress, port);
    return state ? state->drops : 0;
}

TrialOutcome relayTrial(BenchEnvironment& env, const std::string& via, double rate) {
    const BenchConfig& config = env.config();
    const auto count = static_cast<std::uint64_t>(std::llround(rate * (config.quick ? 2 : 10)));
    auto window = env.startWindow("relay-log-" + std::to_string(static_cast<long>(rate)),
                                  config.repeaterAddress, false, via);
    if (!window)
        return {false, "window did not start"};
    pause(std::chrono::duration_cast<std::chrono::milliseconds>(kDestinationSettles));
    const std::int64_t collectorDrops = dropsAt(config, kCollectorLogPort);
    const std::int64_t windowDrops = dropsAt(config, config.logPort);
    LoadSender sender(config.repeaterAddress);
    std::vector<LoadStream> streams{
        {LoadStream::Kind::LogLine, config.localAddress, kCollectorLogPort, rate, count}};
    SendOptions options;
    options.timeLimit =
        std::chrono::milliseconds(static_cast<std::int64_t>(static_cast<double>(count) / rate * 1000) + 5000);
    // Only the window's socket is watched while sending (each look reads /proc/net/udp); the collector's
    // drops are counted after the trial.
    options.keepGoing = [&] { return dropsAt(config, config.logPort) == windowDrops; };
    const std::int64_t startNs = monotonicNs();
    const SendReport report = sender.run(streams, options);
    const auto lastFiled = env.waitDrained(config.logPort, window->runLog(), 60s);
    window->close();
    const std::int64_t drops =
        dropsAt(config, kCollectorLogPort) - collectorDrops + dropsAt(config, config.logPort) - windowDrops;
    const bool keptPace = streams[0].sent == count &&
                          static_cast<double>(streams[0].sent) / report.seconds >= rate * kPaceTolerance;
    const SequenceCheck check = checkRunLog(window->runLog(), count);
    std::filesystem::remove(window->runLog());
    const bool passed = drops == 0 && keptPace && lastFiled && check.complete();
    std::string detail =
        drops > 0 ? std::to_string(drops) + " dropped by the kernel (collector or window); " : "";
    if (!keptPace)
        detail += "the sender could not keep the pace; ";
    return {passed, detail + (lastFiled ? "" : "not drained in time; ") + "run log: " + check.summary(),
            lastFiled ? static_cast<double>(count) / (static_cast<double>(*lastFiled - startNs) / 1e9) : 0};
}

struct Latency {
    std::int64_t median = 0;
    std::int64_t p99 = 0;
    bool complete = false;
    std::string summary;
};

// 1,000 lines/s, each stamped when sent and when its line is read back from the window's run log.
Latency latencyRun(BenchEnvironment& env, const std::string& name, const std::string& via, int toPort) {
    const BenchConfig& config = env.config();
    const int seconds = config.quick ? 3 : 10;
    const auto count = static_cast<std::uint64_t>(kLatencyRate * seconds);
    auto window = env.startWindow(name, config.repeaterAddress, false, via);
    if (!window)
        return {0, 0, false, "window did not start"};
    pause(std::chrono::duration_cast<std::chrono::milliseconds>(kDestinationSettles));
    RunLogFollower follower(window->runLog());
    LoadSender sender(config.repeaterAddress);
    std::vector<LoadStream> streams{
        {LoadStream::Kind::LogLine, config.localAddress, toPort, kLatencyRate, count}};
    SendOptions options;
    options.minTick = 0us;
    options.timeLimit = std::chrono::milliseconds(seconds * 1000 + 5000);
    sender.run(streams, options);
    env.waitDrained(config.logPort, window->runLog(), 10s);
    follower.stop();
    window->close();
    SequenceCheck check(1, 1, count);
    for (const std::uint64_t sequence : follower.sequences())
        check.see(sequence);
    return {quantile(follower.latenciesNs(), 0.5), quantile(follower.latenciesNs(), 0.99), check.complete(),
            check.summary()};
}

} // namespace

ResultRow measureRelayThroughput(BenchEnvironment& env) {
    ResultRow row{
        "Repeater-log throughput through the relay",
        "as the repeater-log throughput, but the window's link goes through a collector's relay "
        "(--via) and the lines go to the collector, which files them and copies each to the window; "
        "passes when the window's run log holds every line once, in order, and neither the "
        "collector's nor the window's socket dropped one",
        "-",
        "-",
        "≥ " + thousands(kThroughputTarget) + "/s, nothing lost",
        std::nullopt};
    auto collector = startCollector(env);
    if (!collector) {
        row.tavrel = "the collector did not start";
        return row;
    }
    RateSearch search;
    search.startRate = 12'500;
    search.highestRate = 100'000;
    search.bisectionSteps = env.config().quick ? 1 : 3;
    env.progress("relay throughput: searching the highest lossless rate through the relay");
    const SearchResult result =
        searchHighestRate(search, [&](double rate) { return relayTrial(env, collector->via, rate); });
    for (const std::string& trial : result.trials)
        env.progress("relay-log " + trial);
    row.tavrel =
        result.best == 0
            ? "none passed (" + thousands(result.firstFail) + "/s: " + result.failOutcome.detail + ")"
            : (result.capped ? "≥ " : "") + thousands(result.best) + "/s" +
                  (result.capped
                       ? ", the highest rate tried"
                       : "; " + thousands(result.firstFail) + "/s failed: " + result.failOutcome.detail);
    row.met = result.best >= kThroughputTarget;
    return row;
}

ResultRow measureRelayLatency(BenchEnvironment& env) {
    ResultRow row{
        "Log latency added by the relay",
        "as the log latency (1,000 lines/s), first straight to the window, then through a collector's "
        "relay (--via: to the collector, copied to the window); the difference of the two p99",
        "-",
        "-",
        "added p99 < " + std::to_string(kAddedLatencyTarget.count()) + " ms",
        std::nullopt};
    env.progress("relay latency: straight to the window");
    const Latency direct = latencyRun(env, "latency-direct", {}, env.config().logPort);
    auto collector = startCollector(env);
    if (!collector) {
        row.tavrel = "the collector did not start";
        return row;
    }
    env.progress("relay latency: through the relay");
    const Latency relayed = latencyRun(env, "latency-relay", collector->via, kCollectorLogPort);
    const std::int64_t added = relayed.p99 - direct.p99;
    row.tavrel = "through the relay: median " + milliseconds(relayed.median) + ", p99 " +
                 milliseconds(relayed.p99) + " (" + relayed.summary +
                 "); added to the p99: " + milliseconds(added);
    row.reference = "straight: median " + milliseconds(direct.median) + ", p99 " + milliseconds(direct.p99) +
                    " (" + direct.summary + ")";
    row.met =
        direct.complete && relayed.complete && added < std::chrono::nanoseconds(kAddedLatencyTarget).count();
    return row;
}

} // namespace tavrel::bench

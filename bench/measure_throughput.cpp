// Figures 2 and 3: the highest log-line and air-record rates taken for a whole trial with nothing lost, and
// the same search with socat as the plain receiver.
#include <cmath>
#include <csignal>
#include <filesystem>

#include "bench/load_sender.h"
#include "bench/measurements.h"
#include "bench/proc_stats.h"
#include "bench/rate_search.h"

namespace tavrel::bench {
namespace {

using namespace std::chrono_literals;

constexpr double kLogTarget = 50'000;
constexpr double kAirTarget = 20'000;
constexpr auto kDrainTimeout = 60s;
// The sender must have kept the pace it was asked for, or the trial says nothing about that rate.
constexpr double kPaceTolerance = 0.98;

int trialSeconds(const BenchEnvironment& env) {
    return env.config().quick ? 2 : 10;
}

RateSearch searchFor(const BenchEnvironment& env, double start, double highest) {
    RateSearch search;
    search.startRate = start;
    search.highestRate = highest;
    search.bisectionSteps = env.config().quick ? 1 : 3;
    return search;
}

struct SendResult {
    std::int64_t startNs = 0;
    SendReport report;
    std::int64_t drops = 0;
    bool keptPace = false;
};

// Sends `count` datagrams at `rate` to the port, stopping early once the kernel drops one there.
SendResult sendAtRate(BenchEnvironment& env, LoadStream stream, int port) {
    const BenchConfig& config = env.config();
    LoadSender sender(config.repeaterAddress);
    const auto before = udpSocketState(config.localAddress, port);
    const std::int64_t dropsBefore = before ? before->drops : 0;
    SendResult result;
    SendOptions options;
    options.timeLimit = std::chrono::milliseconds(
        static_cast<std::int64_t>(static_cast<double>(stream.count) / stream.perSecond * 1000) + 5000);
    options.keepGoing = [&] {
        const auto now = udpSocketState(config.localAddress, port);
        return !now || now->drops == dropsBefore;
    };
    std::vector<LoadStream> streams{stream};
    result.startNs = monotonicNs();
    result.report = sender.run(streams, options);
    const auto after = udpSocketState(config.localAddress, port);
    result.drops = after ? after->drops - dropsBefore : 0;
    const double achieved = static_cast<double>(streams[0].sent) / result.report.seconds;
    result.keptPace = streams[0].sent == stream.count && achieved >= stream.perSecond * kPaceTolerance;
    return result;
}

// Datagrams per second from the first send to the last one filed.
double sustainedRate(const SendResult& sent, std::uint64_t count, std::int64_t lastFiledNs) {
    const double seconds = static_cast<double>(lastFiledNs - sent.startNs) / 1e9;
    return seconds > 0 ? static_cast<double>(count) / seconds : 0;
}

std::string sendProblem(const SendResult& sent) {
    if (sent.drops > 0)
        return std::to_string(sent.drops) + " dropped by the kernel (receive buffer full), sending stopped; ";
    if (!sent.keptPace)
        return "the sender could not keep the pace; ";
    return "";
}

TrialOutcome logTrial(BenchEnvironment& env, double rate) {
    const BenchConfig& config = env.config();
    const auto count = static_cast<std::uint64_t>(std::llround(rate * trialSeconds(env)));
    auto window =
        env.startWindow("log-" + std::to_string(static_cast<long>(rate)), config.repeaterAddress, false);
    if (!window)
        return {false, "window did not start"};
    LoadStream stream{LoadStream::Kind::LogLine, config.localAddress, config.logPort, rate, count};
    const SendResult sent = sendAtRate(env, stream, config.logPort);
    const auto lastFiled = env.waitDrained(config.logPort, window->runLog(), kDrainTimeout);
    window->close();
    const SequenceCheck check = checkRunLog(window->runLog(), count);
    std::filesystem::remove(window->runLog()); // the next trials need the disk space, not the lines
    const bool passed = sent.drops == 0 && sent.keptPace && lastFiled && check.complete();
    return {passed,
            sendProblem(sent) + (lastFiled ? "" : "not drained in time; ") + "run log: " + check.summary(),
            lastFiled ? sustainedRate(sent, count, *lastFiled) : 0};
}

TrialOutcome airTrial(BenchEnvironment& env, double rate) {
    const BenchConfig& config = env.config();
    const auto count = static_cast<std::uint64_t>(std::llround(rate * trialSeconds(env)));
    auto window =
        env.startWindow("air-" + std::to_string(static_cast<long>(rate)), config.repeaterAddress, true);
    if (!window)
        return {false, "window did not start"};
    LoadStream stream{LoadStream::Kind::AirRecord, config.localAddress, config.airPort, rate, count};
    const SendResult sent = sendAtRate(env, stream, config.airPort);
    const auto uplinkFiled = env.waitDrained(config.airPort, window->uplinkData(), kDrainTimeout);
    const auto downlinkFiled = env.waitDrained(config.airPort, window->downlinkData(), kDrainTimeout);
    const bool drained = uplinkFiled.has_value() && downlinkFiled.has_value();
    window->close();
    const SequenceCheck downlink = checkAirDataFile(window->downlinkData(), true, count);
    const SequenceCheck uplink = checkAirDataFile(window->uplinkData(), false, count);
    std::filesystem::remove(window->downlinkData());
    std::filesystem::remove(window->uplinkData());
    const bool passed =
        sent.drops == 0 && sent.keptPace && drained && downlink.complete() && uplink.complete();
    return {passed,
            sendProblem(sent) + (drained ? "" : "not drained in time; ") +
                "downlink file: " + downlink.summary() + "; uplink file: " + uplink.summary(),
            drained ? sustainedRate(sent, count, std::max(*uplinkFiled, *downlinkFiled)) : 0};
}

TrialOutcome plainReceiverTrial(BenchEnvironment& env, double rate) {
    const BenchConfig& config = env.config();
    const auto count = static_cast<std::uint64_t>(std::llround(rate * trialSeconds(env)));
    const std::string file = env.newRunDir("socat-" + std::to_string(static_cast<long>(rate))) + "/received";
    auto socat = ChildProcess::start({"socat", "-u",
                                      "UDP-RECV:" + std::to_string(config.plainReceiverPort) +
                                          ",bind=" + config.localAddress + ",rcvbuf=4194304",
                                      "OPEN:" + file + ",creat,append"},
                                     ChildOutput{false, "", file + ".err"});
    if (!socat)
        return {false, "socat did not start"};
    const std::int64_t deadline = monotonicNs() + 5'000'000'000;
    while (!udpSocketState(config.localAddress, config.plainReceiverPort) && monotonicNs() < deadline)
        pause(5ms);
    LoadStream stream{LoadStream::Kind::LogLine, config.localAddress, config.plainReceiverPort, rate, count};
    const SendResult sent = sendAtRate(env, stream, config.plainReceiverPort);
    const auto lastFiled = env.waitDrained(config.plainReceiverPort, file, kDrainTimeout);
    socat->signal(SIGTERM);
    socat->waitForExit(5s);
    const SequenceCheck check = checkConcatenatedLines(file, count);
    std::filesystem::remove(file);
    const bool passed = sent.drops == 0 && sent.keptPace && lastFiled && check.complete();
    return {passed,
            sendProblem(sent) + (lastFiled ? "" : "not drained in time; ") + "file: " + check.summary(),
            lastFiled ? sustainedRate(sent, count, *lastFiled) : 0};
}

std::string describeSearch(const SearchResult& result) {
    if (result.best == 0)
        return "none passed (" + thousands(result.firstFail) + "/s: " + result.failOutcome.detail + ")";
    std::string text = (result.capped ? "≥ " : "") + thousands(result.best) + "/s";
    const double sustained = result.bestOutcome.sustainedRate;
    if (sustained > 0 && sustained < result.best * kPaceTolerance)
        text += ", but filed at only " + thousands(sustained) +
                "/s from the first send to the last line filed " + "(the receive buffer held the backlog)";
    if (result.capped)
        text += ", the highest rate tried";
    else
        text += "; " + thousands(result.firstFail) + "/s failed: " + result.failOutcome.detail;
    return text;
}

void logTrials(const BenchEnvironment& env, const std::string& name, const SearchResult& result) {
    for (const std::string& trial : result.trials)
        env.progress(name + " " + trial);
}

} // namespace

ResultRow measureLogThroughput(BenchEnvironment& env) {
    const int seconds = trialSeconds(env);
    env.progress("repeater-log throughput: searching the tool's highest lossless rate");
    const SearchResult tool =
        searchHighestRate(searchFor(env, 5000, 400'000), [&](double rate) { return logTrial(env, rate); });
    logTrials(env, "log", tool);
    env.progress("repeater-log throughput: the same search with socat");
    const SearchResult plain = searchHighestRate(searchFor(env, 25'000, 400'000),
                                                 [&](double rate) { return plainReceiverTrial(env, rate); });
    logTrials(env, "socat", plain);

    ResultRow row{
        "Repeater-log throughput",
        "100-byte numbered lines for " + std::to_string(seconds) +
            " s at a steady rate from the bench's sender; passes when every line is in the run log " +
            "exactly once, in order; highest passing rate found by doubling, then bisecting",
        describeSearch(tool),
        "-",
        "≥ " + thousands(kLogTarget) + "/s, nothing lost",
        std::nullopt};
    row.reference = "socat into a file (4 MB receive buffer, as the tool's): " + describeSearch(plain);
    if (tool.best > 0 && plain.best > 0)
        row.reference += "; the tool takes " + fixed(tool.best / plain.best * 100, 0) + " % of socat's rate" +
                         (plain.capped ? " (socat's is a lower bound)" : "");
    row.met = tool.best >= kLogTarget;
    return row;
}

ResultRow measureAirThroughput(BenchEnvironment& env) {
    const int seconds = trialSeconds(env);
    env.progress("air-log throughput: searching the tool's highest lossless rate");
    const SearchResult tool =
        searchHighestRate(searchFor(env, 5000, 400'000), [&](double rate) { return airTrial(env, rate); });
    logTrials(env, "air", tool);
    ResultRow row{
        "Air-log throughput",
        "44-byte records for " + std::to_string(seconds) +
            " s, alternately downlink and uplink, air log window shown (LOG On); passes when every record " +
            "is in its data file exactly once, in order",
        describeSearch(tool),
        "-",
        "≥ " + thousands(kAirTarget) + "/s, nothing lost",
        std::nullopt};
    row.met = tool.best >= kAirTarget;
    return row;
}

} // namespace tavrel::bench

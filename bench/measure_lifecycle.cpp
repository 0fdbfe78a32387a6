// Figures 7 and 8: reconnection after a repeater reboot, and the time from closing the window to the exit.
#include <atomic>
#include <thread>

#include "bench/load_sender.h"
#include "bench/measurements.h"
#include "bench/proc_stats.h"
#include "emulator/repeater_emulator.h"

namespace tavrel::bench {
namespace {

using namespace std::chrono_literals;

constexpr auto kReconnectTarget = 1s;
constexpr auto kStopTarget = 200ms;
constexpr auto kRebootTime = 1000ms;
constexpr auto kLoadBeforeClose = 1500ms;
constexpr double kLoadRate = 1000;

} // namespace

ResultRow measureReconnection(BenchEnvironment& env) {
    const BenchConfig& config = env.config();
    const int cycles = config.quick ? 3 : 8;
    ResultRow row{"Reconnection",
                  std::to_string(cycles) + " reboots of a repeater emulator in the bench process (" +
                      std::to_string(kRebootTime.count()) +
                      " ms each): from its listen() after the reboot to " +
                      "NotifyOmConnected handled in the window's process",
                  "-",
                  "-",
                  "< " + std::to_string(kReconnectTarget.count()) + " s",
                  std::nullopt};

    std::atomic<std::int64_t> listeningNs{0};
    emulator::EmulatorOptions options;
    options.address = config.rebootingRepeaterAddress;
    options.rebootTime = kRebootTime;
    options.quiet = true;
    options.airRecordsPerSecond = 0;
    // Stamped on the emulator's thread right after listen(), before anything else happens.
    options.console = [&listeningNs](const std::string& line) {
        if (line.find("listening on") != std::string::npos)
            listeningNs.store(monotonicNs());
    };
    emulator::RepeaterEmulator repeater(std::move(options));
    if (!repeater.start()) {
        row.tavrel = "the emulator did not start";
        return row;
    }
    auto window = env.startWindow("reconnect", config.rebootingRepeaterAddress, false);
    if (!window) {
        row.tavrel = "window did not start";
        return row;
    }
    env.progress("reconnection: " + std::to_string(cycles) + " reboots");
    std::vector<std::int64_t> delays;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const std::int64_t rebootNs = monotonicNs();
        repeater.reboot();
        const auto connected = window->process().waitForLine("connected ", 10s);
        const std::int64_t listened = listeningNs.load();
        if (!connected || listened < rebootNs)
            break;
        delays.push_back(std::stoll(*connected) - listened);
    }
    window->close();
    repeater.stop();
    if (delays.size() != static_cast<std::size_t>(cycles)) {
        row.tavrel =
            "only " + std::to_string(delays.size()) + " of " + std::to_string(cycles) + " reconnections";
        row.met = false;
        return row;
    }
    const std::int64_t worst = quantile(delays, 1.0);
    row.tavrel = "median " + milliseconds(quantile(delays, 0.5)) + ", max " + milliseconds(worst) + " (min " +
                 milliseconds(quantile(delays, 0.0)) + ")";
    row.met = worst < std::chrono::nanoseconds(kReconnectTarget).count();
    return row;
}

ResultRow measureStop(BenchEnvironment& env) {
    const BenchConfig& config = env.config();
    const int runs = config.quick ? 2 : 5;
    ResultRow row{"Stop",
                  std::to_string(runs) + " window processes, each connected with the air log on and taking " +
                      thousands(kLoadRate) + " log lines/s and " + thousands(kLoadRate) +
                      " air records/s, closed (close box) by a control line: from writing the line to the " +
                      "process's exit seen through a pidfd",
                  "-",
                  "-",
                  "< " + std::to_string(kStopTarget.count()) + " ms",
                  std::nullopt};
    env.progress("stop: " + std::to_string(runs) + " closes under load");
    std::vector<std::int64_t> delays;
    for (int run = 0; run < runs; ++run) {
        auto window = env.startWindow("stop", config.repeaterAddress, true);
        if (!window)
            break;
        std::atomic<bool> closed{false};
        std::jthread load([&] {
            LoadSender sender(config.repeaterAddress);
            const auto count = static_cast<std::uint64_t>(kLoadRate * 10);
            std::vector<LoadStream> streams{
                {LoadStream::Kind::LogLine, config.localAddress, config.logPort, kLoadRate, count},
                {LoadStream::Kind::AirRecord, config.localAddress, config.airPort, kLoadRate, count}};
            SendOptions options;
            options.keepGoing = [&closed] { return !closed.load(); };
            options.timeLimit = 15s;
            sender.run(streams, options);
        });
        pause(kLoadBeforeClose);
        const std::int64_t closeNs = monotonicNs();
        window->process().writeLine("close");
        const auto exitNs = window->process().waitForExit(10s);
        closed.store(true);
        if (!exitNs)
            break;
        delays.push_back(*exitNs - closeNs);
    }
    if (delays.size() != static_cast<std::size_t>(runs)) {
        row.tavrel =
            "only " + std::to_string(delays.size()) + " of " + std::to_string(runs) + " windows ended";
        row.met = false;
        return row;
    }
    const std::int64_t worst = quantile(delays, 1.0);
    row.tavrel = "median " + milliseconds(quantile(delays, 0.5)) + ", max " + milliseconds(worst);
    row.met = worst < std::chrono::nanoseconds(kStopTarget).count();
    return row;
}

} // namespace tavrel::bench

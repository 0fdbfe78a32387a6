// tavrel_fleet_bench: one collector against an emulated fleet of 1,000 repeaters on 127.0.10.1 onwards, in
// processes of their own; prints the README's table of the fleet figures. Run by scripts/fleet-bench.sh.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/child_process.h"
#include "bench/fleet_probe.h"
#include "bench/fleet_tls.h"
#include "bench/proc_stats.h"
#include "bench/relay_clients.h"

namespace {

using namespace tavrel::bench;
using tavrel::Socket;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint16_t kMetricsPort = 9579;
constexpr const char* kFirstAddress = "127.0.10.1";
// The relays of the first repeaters listen on 127.0.0.1 from this port on.
constexpr std::uint16_t kFirstRelayPort = 48100;

struct Settings {
    int repeaters = 1000;
    int steadySeconds = 30;
    int loadSeconds = 10;
    double linesPerSecond = 20;
    int relayClients = 50; // repeaters with a relay and one window's traffic through it
    std::string binDir;
};

struct Row {
    std::string figure, conditions, measured, target;
    bool met = false;
};

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Scrapes every 100 ms until `count` repeaters are up; the time it took, or nothing after the limit.
std::optional<double> waitAllUp(int count, Clock::time_point since, std::chrono::seconds limit) {
    while (Clock::now() - since < limit) {
        if (scrapeMetrics(kMetricsPort).repeatersUp >= count)
            return seconds(Clock::now() - since);
        std::this_thread::sleep_for(100ms);
    }
    return std::nullopt;
}

std::unique_ptr<ChildProcess> startFleet(const Settings& s, const std::vector<std::string>& extra) {
    std::vector<std::string> argv{s.binDir + "/tavrel-repeater",
                                  "--fleet",
                                  std::to_string(s.repeaters),
                                  "--first-address",
                                  kFirstAddress,
                                  "--quiet",
                                  "--air-rate",
                                  "0"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    auto fleet = ChildProcess::start(argv, ChildOutput{.pipeStdout = true});
    if (!fleet || !fleet->waitForLine("", 10s) /* the time stamp starts the line */)
        return nullptr;
    return fleet;
}

// The fleet's "stats" line, e.g. "... 12 numbered lines sent, ... at most 3 accepts in one millisecond".
std::string fleetStats(ChildProcess& fleet) {
    fleet.writeLine("stats");
    for (auto line = fleet.readLine(5s); line; line = fleet.readLine(5s))
        if (line->find("stats: ") != std::string::npos)
            return line->substr(line->find("stats: ") + 7);
    return {};
}

long long numberBefore(const std::string& text, const std::string& words) {
    const auto at = text.find(words);
    if (at == std::string::npos)
        return -1;
    const auto start = text.rfind(' ', at - 2);
    return std::stoll(text.substr(start + 1, at - start - 1));
}

std::string machine() {
    std::ifstream cpu("/proc/cpuinfo");
    std::string model = "unknown CPU";
    for (std::string line; std::getline(cpu, line);)
        if (line.starts_with("model name")) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    std::ifstream load("/proc/loadavg");
    std::string one;
    load >> one;
    return model + ", " + std::to_string(std::thread::hardware_concurrency()) + " cores, load " + one;
}

} // namespace

int main(int argc, char** argv) {
    Settings s;
    s.binDir = std::filesystem::path(argv[0]).parent_path().string();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--repeaters")
            s.repeaters = std::stoi(argv[i + 1]);
        else if (name == "--steady-seconds")
            s.steadySeconds = std::stoi(argv[i + 1]);
        else if (name == "--load-seconds")
            s.loadSeconds = std::stoi(argv[i + 1]);
        else if (name == "--relay-clients")
            s.relayClients = std::stoi(argv[i + 1]);
    }
    // Of this run alone: a second bench on the machine must not remove this one's files.
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("tavrel-fleet-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch);
    std::filesystem::create_directories(scratch / "state");
    // The settings file; F5 measures the log load with the run files opened per line and kept open.
    const auto writeConfig = [&](bool keepFilesOpen) {
        std::ofstream config(scratch / "fleet.conf");
        config << "[collector]\nlocal_address=127.0.0.1\nlog_port=46320\nair_port=47320\nmetrics_listen=127."
                  "0.0.1:"
               << kMetricsPort << "\nstate_dir=" << (scratch / "state").string()
               << "\nkeep_files_open=" << (keepFilesOpen ? "on" : "off")
               << "\nweb_config=" << (scratch / "web.yml").string() << "\n";
        for (int i = 0; i < s.repeaters; ++i) {
            const unsigned address = (127u << 24) + (10u << 8) + 1u + static_cast<unsigned>(i);
            config << "[r" << i + 1 << "]\naddress=" << (address >> 24) << "." << ((address >> 16) & 255)
                   << "." << ((address >> 8) & 255) << "." << (address & 255) << "\n";
            if (i < s.relayClients)
                config << "relay_listen=127.0.0.1:" << kFirstRelayPort + i << "\n";
        }
    };
    writeConfig(false);
    std::ofstream(scratch / "web.yml").flush(); // empty: plain HTTP until the TLS rows
    const TlsScraper tls(scratch);
    if (tls.webConfig().empty())
        return std::fprintf(stderr, "no TLS material: openssl missing?\n"), 1;
    std::fprintf(stderr, "machine at start: %s\n", machine().c_str());
    const std::string startMachine = machine();
    std::vector<Row> rows;
    std::vector<Row> extraRows; // measured among the others, listed after them
    const std::string n = std::to_string(s.repeaters);

    // Phase 1: a quiet fleet (no log load): connecting, steady state, scrapes, restart of all at once.
    auto fleet = startFleet(s, {"--reboot-seconds", "1"});
    if (!fleet)
        return std::fprintf(stderr, "the emulator fleet did not start\n"), 1;
    const auto collectorStart = Clock::now();
    auto collector =
        ChildProcess::start({s.binDir + "/tavrel-collector", "--config", (scratch / "fleet.conf").string()},
                            ChildOutput{.stderrPath = (scratch / "collector.log").string()});
    if (!collector)
        return std::fprintf(stderr, "the collector did not start\n"), 1;
    const auto connected = waitAllUp(s.repeaters, collectorStart, 60s);
    std::fprintf(stderr, "all connected: %s s\n", connected ? fixed(*connected, 2).c_str() : "never");
    rows.push_back({"All connected after start",
                    n +
                        " emulated repeaters (one process, --quiet), collector started after them; /metrics "
                        "scraped every 100 ms until all " +
                        n + " are up",
                    connected ? fixed(*connected, 2) + " s" : "not within 60 s", "< 10 s",
                    connected && *connected < 10});

    std::this_thread::sleep_for(3s); // past the connect bursts: SETLOGDST repeats ended, timers in step
    const auto cpuBefore = processCpuMicrosOf(collector->pid()).value_or(0);
    const auto steadyStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(s.steadySeconds));
    const double cpuPercent =
        static_cast<double>(processCpuMicrosOf(collector->pid()).value_or(0) - cpuBefore) /
        (seconds(Clock::now() - steadyStart) * 1e6) * 100;
    std::ifstream status("/proc/" + std::to_string(collector->pid()) + "/status");
    std::string threads = "?";
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Threads:"))
            threads = line.substr(line.find_first_not_of(" \t", 8));
    std::fprintf(stderr, "steady CPU: %.2f %%\n", cpuPercent);
    rows.push_back({"Steady-state CPU",
                    std::to_string(s.steadySeconds) + " s, all " + n + " connected: " + n +
                        " heartbeats per 5 s, " + std::to_string(s.repeaters / 2) +
                        " alarm queries/s and the log line each command makes; no scrapes; /proc/<pid>/stat; "
                        "collector threads: " +
                        threads,
                    fixed(cpuPercent, 2) + " % of one core", "< 3 % of one core", cpuPercent < 3});

    // The same steady fleet with a window's traffic through the relays of the first repeaters.
    {
        std::vector<std::uint16_t> ports;
        for (int i = 0; i < s.relayClients; ++i)
            ports.push_back(static_cast<std::uint16_t>(kFirstRelayPort + i));
        RelayClients clients(ports);
        std::this_thread::sleep_for(3s); // connected, destinations announced
        const auto relayCpuBefore = processCpuMicrosOf(collector->pid()).value_or(0);
        const auto relayStart = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(s.steadySeconds));
        const double relayCpu =
            static_cast<double>(processCpuMicrosOf(collector->pid()).value_or(0) - relayCpuBefore) /
            (seconds(Clock::now() - relayStart) * 1e6) * 100;
        std::fprintf(stderr, "steady CPU with %d relay clients: %.2f %%\n", clients.connected(), relayCpu);
        rows.push_back({"Steady-state CPU with relay clients",
                        "as the steady state, and " + std::to_string(s.relayClients) +
                            " repeaters with a relay, one client on each (" +
                            std::to_string(clients.connected()) +
                            " connected) sending a window's heartbeat every 5 s and alarm query every 2 s, "
                            "reading what the relay passes on",
                        fixed(relayCpu, 2) + " % of one core", "< 5 % of one core",
                        clients.connected() == s.relayClients && relayCpu < 5});
    }

    std::vector<double> scrapeMs;
    std::size_t scrapeBytes = 0;
    for (int i = 0; i < 20; ++i) {
        const Scrape scrape = scrapeMetrics(kMetricsPort);
        scrapeMs.push_back(scrape.ok ? scrape.milliseconds : 1e9);
        scrapeBytes = scrape.bytes;
        std::this_thread::sleep_for(100ms);
    }
    std::sort(scrapeMs.begin(), scrapeMs.end());
    rows.push_back({"Scrape of /metrics",
                    "20 GET /metrics over loopback, 100 ms apart, " + n + " repeaters (" +
                        std::to_string(scrapeBytes / 1024) + " KiB of text); connect to last byte",
                    "median " + fixed(scrapeMs[10], 1) + " ms, max " + fixed(scrapeMs.back(), 1) + " ms",
                    "< 50 ms", scrapeMs.back() < 50});

    // The same scrapes beside 200 connections that send nothing and 20 that send a request head a byte at a
    // time.
    const std::vector<Socket> idle = openConnections(kMetricsPort, 200);
    std::vector<Socket> dripping = openConnections(kMetricsPort, 20);
    const std::string head = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: slow\r\n";
    std::vector<double> crowdedMs;
    for (std::size_t i = 0; i < 20; ++i) {
        for (Socket& socket : dripping)
            if (socket.valid())
                socket.send(head.substr(i, 1));
        const Scrape scrape = scrapeMetrics(kMetricsPort);
        crowdedMs.push_back(scrape.ok && scrape.repeatersUp == s.repeaters ? scrape.milliseconds : 1e9);
        std::this_thread::sleep_for(100ms);
    }
    const auto held =
        std::count_if(idle.begin(), idle.end(), [](const Socket& c) { return c.valid(); }) +
        std::count_if(dripping.begin(), dripping.end(), [](const Socket& c) { return c.valid(); });
    std::sort(crowdedMs.begin(), crowdedMs.end());
    std::fprintf(stderr, "crowded scrape: median %.1f ms, max %.1f ms\n", crowdedMs[10], crowdedMs.back());
    extraRows.push_back(
        {"Scrape beside idle and dripping clients",
         "as F4, while " + std::to_string(held) +
             " connections are held open from 127.0.23.10-19: 200 send nothing, 20 send a request "
             "head one byte per scrape",
         "median " + fixed(crowdedMs[10], 1) + " ms, max " + fixed(crowdedMs.back(), 1) + " ms", "< 100 ms",
         crowdedMs.back() < 100 && held == 220});

    // The same collector with TLS and basic auth: its web config is changed while it runs and read again.
    std::ofstream(scratch / "web.yml") << tls.webConfig();
    const auto switched = Clock::now();
    while (!tls.scrape(kMetricsPort).ok && Clock::now() - switched < 20s)
        std::this_thread::sleep_for(200ms);
    std::vector<double> tlsMs;
    for (int i = 0; i < 20; ++i) {
        const Scrape scrape = tls.scrape(kMetricsPort);
        tlsMs.push_back(scrape.ok && scrape.repeatersUp == s.repeaters ? scrape.milliseconds : 1e9);
        std::this_thread::sleep_for(100ms);
    }
    std::sort(tlsMs.begin(), tlsMs.end());
    std::fprintf(stderr, "TLS scrape: median %.1f ms, max %.1f ms\n", tlsMs[10], tlsMs.back());
    extraRows.push_back(
        {"Scrape over TLS with basic auth",
         "as F4, each on a new connection: TLS 1.3 handshake (ECDSA P-256 certificate of a "
         "throw-away CA), Authorization: Basic checked against a bcrypt hash of cost 10 (htpasswd "
         "-nBC 10; a success is remembered), web config switched from plain HTTP while running",
         "median " + fixed(tlsMs[10], 1) + " ms, max " + fixed(tlsMs.back(), 1) + " ms", "< 100 ms",
         tlsMs.back() < 100});
    const auto tlsCpuBefore = processCpuMicrosOf(collector->pid()).value_or(0);
    const auto tlsSteadyStart = Clock::now();
    int tlsScrapes = 0;
    bool tlsAllOk = true;
    while (Clock::now() - tlsSteadyStart < std::chrono::seconds(s.steadySeconds)) {
        const Scrape scrape = tls.scrape(kMetricsPort);
        tlsAllOk = tlsAllOk && scrape.ok && scrape.repeatersUp == s.repeaters;
        ++tlsScrapes;
        const auto next = tlsSteadyStart + tlsScrapes * 15s;
        std::this_thread::sleep_until(std::min(next, tlsSteadyStart + std::chrono::seconds(s.steadySeconds)));
    }
    const double tlsCpu =
        static_cast<double>(processCpuMicrosOf(collector->pid()).value_or(0) - tlsCpuBefore) /
        (seconds(Clock::now() - tlsSteadyStart) * 1e6) * 100;
    std::fprintf(stderr, "steady CPU with TLS scrapes: %.2f %%\n", tlsCpu);
    extraRows.push_back({"Steady-state CPU, scraped over TLS",
                         "as F2, with a scrape over TLS with basic auth every 15 s (" +
                             std::to_string(tlsScrapes) + " scrapes in " + std::to_string(s.steadySeconds) +
                             " s" + (tlsAllOk ? ", each with all up" : ", NOT each with all up") + ")",
                         fixed(tlsCpu, 2) + " % of one core", "< 3 % of one core", tlsCpu < 3 && tlsAllOk});
    std::ofstream(scratch / "web.yml").flush(); // plain HTTP again for the rest
    const auto plainAgain = Clock::now();
    while (!scrapeMetrics(kMetricsPort).ok && Clock::now() - plainAgain < 20s)
        std::this_thread::sleep_for(200ms);

    fleetStats(*fleet); // resets the accept count
    const auto rebootAt = Clock::now();
    fleet->writeLine("reboot all");
    std::this_thread::sleep_for(300ms); // the losses are seen before counting who is up
    const auto back = waitAllUp(s.repeaters, rebootAt, 30s);
    const long long spread = numberBefore(fleetStats(*fleet), "accepts in one millisecond");
    std::fprintf(stderr, "restart: back after %s s, at most %lld accepts in one ms\n",
                 back ? fixed(*back, 2).c_str() : "never", spread);
    rows.push_back({"All restarted at once",
                    "`reboot all`: every emulated repeater closes its connection and its port at the same "
                    "moment, the port reopens 1 s later; from the reboot to all up in /metrics; the "
                    "emulators count accepted connections per millisecond",
                    (back ? "all back " + fixed(*back, 2) + " s after the reboot (" + fixed(*back - 1, 2) +
                                " s after the ports reopened)"
                          : std::string("not within 30 s")) +
                        ", at most " + std::to_string(spread) + " connections accepted in one millisecond",
                    "< 5 s, no burst of " + n + " connects in one millisecond",
                    back && *back < 5 && spread >= 0 && spread < s.repeaters / 10});
    fleet->writeLine("quit");
    fleet->waitForExit(10s);

    // Phase 2: the same fleet with 20 numbered lines/s each.
    auto loaded = startFleet(s, {"--log-rate", fixed(s.linesPerSecond, 0), "--log-size", "100"});
    if (!loaded)
        return std::fprintf(stderr, "the loaded fleet did not start\n"), 1;
    const auto loadedStart = Clock::now();
    const auto reconnected = waitAllUp(s.repeaters, loadedStart, 60s);
    const auto loadCpuOver = [&] {
        const auto cpuBefore = processCpuMicrosOf(collector->pid()).value_or(0);
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(s.loadSeconds));
        return static_cast<double>(processCpuMicrosOf(collector->pid()).value_or(0) - cpuBefore) /
               (seconds(Clock::now() - start) * 1e6) * 100;
    };
    const double loadCpu = loadCpuOver(); // each line opens and closes its file
    writeConfig(true);
    collector->signal(SIGHUP);
    std::this_thread::sleep_for(1s); // the reload is done and the files are open
    const double keptOpenCpu = loadCpuOver();
    loaded->writeLine("off all"); // stops sending; the count below is final
    const long long sent = numberBefore(fleetStats(*loaded), "numbered lines sent");
    std::this_thread::sleep_for(2s); // what is still queued is filed
    const FiledLines filed = countFiledLines(scratch / "state");
    const double total = seconds(Clock::now() - loadedStart);
    std::fprintf(stderr,
                 "log load: sent %lld, filed %llu, missing %llu, twice %llu, CPU %.1f %% (files kept open: "
                 "%.1f %%)\n",
                 sent, static_cast<unsigned long long>(filed.lines),
                 static_cast<unsigned long long>(filed.missing), static_cast<unsigned long long>(filed.twice),
                 loadCpu, keptOpenCpu);
    const bool nothingLost =
        sent > 0 && filed.lines == static_cast<std::uint64_t>(sent) && filed.missing == 0 && filed.twice == 0;
    rows.push_back(
        {"Aggregate log load",
         n + " repeaters x " + fixed(s.linesPerSecond, 0) + " numbered 100-byte lines/s (" +
             std::to_string(static_cast<int>(s.repeaters * s.linesPerSecond)) +
             "/s) from a restarted fleet (all back after " +
             (reconnected ? fixed(*reconnected, 1) : std::string("?")) + " s), about " + fixed(total, 0) +
             " s in all; every run log read back; collector CPU over " + std::to_string(s.loadSeconds) +
             " s of full load with each line opening and closing " + "its file (keep_files_open=off), then " +
             std::to_string(s.loadSeconds) + " s with the files kept open (keep_files_open=on, by SIGHUP)",
         std::to_string(filed.lines) + " of " + std::to_string(sent) + " lines filed in " +
             std::to_string(filed.runLogs) + " run logs, " + std::to_string(filed.missing) + " lost, " +
             std::to_string(filed.twice) + " twice; CPU " + fixed(loadCpu, 1) +
             " % of one core opened per line, " + fixed(keptOpenCpu, 1) + " % kept open",
         "nothing lost", nothingLost});

    const auto peak = procStatusKiB(collector->pid(), "VmHWM").value_or(0);
    rows.push_back({"Peak memory", "VmHWM of the collector at the end of all the above (" + n + " repeaters)",
                    fixed(static_cast<double>(peak) / 1024, 1) + " MB", "< 200 MB",
                    peak > 0 && peak < 200 * 1024});
    rows.insert(rows.end(), extraRows.begin(), extraRows.end());
    loaded->writeLine("quit");
    collector->signal(SIGTERM);
    collector->waitForExit(5s);

    std::printf("Machine at the start: %s; at the end: %s.\n\n", startMachine.c_str(), machine().c_str());
    std::printf("| # | Figure | Conditions | Tavrel | Target | Met |\n|---|---|---|---|---|---|\n");
    int index = 1;
    bool allMet = true;
    for (const Row& row : rows) {
        std::printf("| F%d | %s | %s | %s | %s | %s |\n", index++, row.figure.c_str(), row.conditions.c_str(),
                    row.measured.c_str(), row.target.c_str(), row.met ? "yes" : "no");
        allMet = allMet && row.met;
    }
    std::filesystem::remove_all(scratch);
    return allMet ? 0 : 3;
}

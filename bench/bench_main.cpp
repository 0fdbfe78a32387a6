// tavrel_bench: measures the tool's idle cost, throughput, latency, footprint, reconnection and stop, and
// prints one table. See bench/README.md.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_env.h"
#include "bench/handoff_probe.h"
#include "bench/measurements.h"
#include "bench/poll_receiver.h"
#include "bench/proc_stats.h"
#include "bench/result_table.h"
#include "bench/send_mode.h"
#include "bench/window_process.h"
#include "platform/executable_dir.h"

namespace {

using namespace tavrel::bench;

constexpr std::string_view kUsage =
    "usage: tavrel_bench [--quick] [--only LIST] [--work DIR] [--keep] [--table FILE]\n"
    "  --quick       short runs to try the bench out (the figures are not the measurements)\n"
    "  --only LIST   comma-separated: idle,log,air,handoff,latency,footprint,reconnect,stop,\n"
    "                relay-log,relay-latency\n                "
    "(default: all)\n"
    "  --work DIR    folder for the runs' files (default: a new folder under /tmp, removed at the end)\n"
    "  --keep        keep the work folder\n"
    "  --table FILE  also write the table to FILE\n"
    "  --without M   run the windows without speed mechanisms: hub-watch,batching,\n"
    "                steady-scroll-bar,repaint-new-lines,lamp-rest,status-rest\n"
    "other modes: tavrel_bench window ..., poll-receiver ..., send ..., handoff ... (see bench/README.md)\n";

struct Measurement {
    std::string name;
    std::function<ResultRow(BenchEnvironment&)> run;
};

int runBench(int argc, char** argv) {
    BenchConfig config;
    config.binDir = tavrel::executableDirectory();
    std::set<std::string> only;
    bool keep = false;
    std::string tablePath;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--quick") {
            config.quick = true;
        } else if (arg == "--keep") {
            keep = true;
        } else if (arg == "--only" && i + 1 < argc) {
            std::istringstream list(argv[++i]);
            for (std::string name; std::getline(list, name, ',');)
                only.insert(name);
        } else if (arg == "--work" && i + 1 < argc) {
            config.workDir = argv[++i];
        } else if (arg == "--without" && i + 1 < argc) {
            config.without = argv[++i];
        } else if (arg == "--table" && i + 1 < argc) {
            tablePath = argv[++i];
        } else {
            std::fputs(kUsage.data(), stderr);
            return 2;
        }
    }
    const std::vector<Measurement> measurements = {
        {"idle", measureIdle},
        {"log", measureLogThroughput},
        {"air", measureAirThroughput},
        {"handoff", measureHandoff},
        {"latency", measureLatency},
        {"footprint", measureFootprint},
        {"reconnect", measureReconnection},
        {"stop", measureStop},
        {"relay-log", measureRelayThroughput},
        {"relay-latency", measureRelayLatency},
    };
    for (const std::string& name : only)
        if (std::none_of(measurements.begin(), measurements.end(),
                         [&name](const Measurement& m) { return m.name == name; })) {
            std::fprintf(stderr, "tavrel_bench: no measurement called \"%s\"\n%s", name.c_str(),
                         kUsage.data());
            return 2;
        }
    bool ownWorkDir = false;
    if (config.workDir.empty()) {
        char pattern[] = "/tmp/tavrel-bench.XXXXXX";
        if (!::mkdtemp(pattern)) {
            std::perror("tavrel_bench: mkdtemp");
            return 1;
        }
        config.workDir = pattern;
        ownWorkDir = !keep;
    }
    // The work folder goes on every way out, unless it was given or is to be kept.
    const auto removeWorkDir = [&] {
        if (ownWorkDir) {
            std::error_code error;
            std::filesystem::remove_all(config.workDir, error);
        } else {
            std::fprintf(stderr, "bench: the runs' files are in %s\n", config.workDir.c_str());
        }
    };

    std::vector<ResultRow> rows;
    const std::string checkAtStart = machineCheck();
    {
        BenchEnvironment env(config);
        if (!env.startRepeater()) {
            env.progress("tavrel-repeater did not start on " + config.repeaterAddress + " (see " +
                         config.workDir + "/repeater.err)");
            ownWorkDir = false; // kept, for the reason
            removeWorkDir();
            return 1;
        }
        const std::int64_t startNs = monotonicNs();
        for (const Measurement& measurement : measurements) {
            if (!only.empty() && !only.contains(measurement.name))
                continue;
            const std::int64_t beganNs = monotonicNs();
            rows.push_back(measurement.run(env));
            env.progress(measurement.name + " done in " +
                         fixed(static_cast<double>(monotonicNs() - beganNs) / 1e9, 0) +
                         " s: " + rows.back().tavrel);
        }
        env.progress("all measurements in " + fixed(static_cast<double>(monotonicNs() - startNs) / 1e9, 0) +
                     " s");
    }

    const std::string table =
        formatResultTable(describeMachine(config.quick, checkAtStart, machineCheck()), rows);
    std::fputs(table.c_str(), stdout);
    if (!tablePath.empty())
        std::ofstream(tablePath) << table;
    removeWorkDir();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "window")
        return runWindowProcess(argc, argv);
    if (mode == "poll-receiver")
        return runPollReceiver(argc, argv);
    if (mode == "send")
        return runSendMode(argc, argv);
    if (mode == "handoff")
        return runHandoffProbe(argc, argv);
    return runBench(argc, argv);
}

// What every measurement shares: addresses and ports, the work folder, the emulated repeater and fresh
// windows.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "bench/child_process.h"

namespace tavrel::bench {

struct BenchConfig {
    std::string binDir;  // tavrel_bench and tavrel-repeater
    std::string workDir; // one folder per window run, the repeater's output, socat's files
    bool quick = false;  // short runs to try the bench out; its figures are not the measurements
    std::string without; // speed mechanisms the windows run without (comma-separated), empty: none

    std::string localAddress = "127.0.7.1";             // where the tool's receivers bind
    std::string repeaterAddress = "127.0.7.2";          // the tavrel-repeater process
    std::string rebootingRepeaterAddress = "127.0.7.3"; // the in-process repeater of the reconnection figure
    int logPort = 47301;
    int airPort = 47302;
    int referenceLogPort = 47311;
    int referenceAirPort = 47312;
    int plainReceiverPort = 47321;
};

// A running main window in its own process, connected, with both receivers bound.
class WindowUnderTest {
public:
    WindowUnderTest(std::unique_ptr<ChildProcess> process, std::string runLog, std::string downlinkData,
                    std::string uplinkData);

    ChildProcess& process() { return *m_process; }
    const std::string& runLog() const { return m_runLog; }
    const std::string& downlinkData() const { return m_downlinkData; }
    const std::string& uplinkData() const { return m_uplinkData; }

    // User + system CPU time of the window's process, in microseconds, as the process itself reports it.
    std::optional<std::int64_t> cpuMicros();
    // Closes the window as its close box does and waits for the process to end; the exit's CLOCK_MONOTONIC
    // ns.
    std::optional<std::int64_t> close(std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    std::unique_ptr<ChildProcess> m_process;
    std::string m_runLog;
    std::string m_downlinkData;
    std::string m_uplinkData;
};

class BenchEnvironment {
public:
    explicit BenchEnvironment(BenchConfig config);
    ~BenchEnvironment();

    const BenchConfig& config() const { return m_config; }

    // Starts tavrel-repeater on repeaterAddress (quiet, no air records of its own) and waits until it
    // listens.
    bool startRepeater();

    // A fresh folder for the files of one run.
    std::string newRunDir(const std::string& name);

    // A main window in its own process against the repeater at the address, with its own executable folder;
    // returns once it has handled the connection (and run "LOG On" when asked) and both receivers are bound.
    // With `via`, the window's O&M link goes through that relay (ADDRESS:PORT) as `tavrel --via` does.
    std::unique_ptr<WindowUnderTest> startWindow(const std::string& name, const std::string& repeaterAddress,
                                                 bool airLogOn, const std::string& via = {});

    // Waits until the socket's queue is empty and the file has stopped growing (a quiet spell), bounded.
    // Returns when the file last grew (CLOCK_MONOTONIC ns), or nothing on time-out.
    std::optional<std::int64_t> waitDrained(int port, const std::string& file,
                                            std::chrono::milliseconds timeout);

    // Progress for the person running the bench, on standard error.
    void progress(const std::string& text) const;

private:
    BenchConfig m_config;
    std::unique_ptr<ChildProcess> m_repeater;
    int m_runs = 0;
};

// Sleeps the calling thread.
void pause(std::chrono::milliseconds time);

} // namespace tavrel::bench

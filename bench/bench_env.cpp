// The shared pieces of the measurements: the repeater process, window processes and drain waits.
#include "bench/bench_env.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "bench/proc_stats.h"

namespace tavrel::bench {
namespace {

using namespace std::chrono_literals;

constexpr auto kStartTimeout = 15s;
constexpr auto kBindTimeout = 5s;
constexpr auto kQuietSpell = 300ms;
constexpr int kWindowMaxSeconds = 600;

std::int64_t fileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

bool fileContains(const std::string& path, const std::string& text) {
    std::ifstream file(path);
    const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return content.find(text) != std::string::npos;
}

} // namespace

void pause(std::chrono::milliseconds time) {
    std::this_thread::sleep_for(time);
}

WindowUnderTest::WindowUnderTest(std::unique_ptr<ChildProcess> process, std::string runLog,
                                 std::string downlinkData, std::string uplinkData)
    : m_process(std::move(process)), m_runLog(std::move(runLog)), m_downlinkData(std::move(downlinkData)),
      m_uplinkData(std::move(uplinkData)) {}

std::optional<std::int64_t> WindowUnderTest::cpuMicros() {
    if (!m_process->writeLine("usage"))
        return std::nullopt;
    const auto value = m_process->waitForLine("usage ", 5s);
    if (!value)
        return std::nullopt;
    return std::stoll(*value);
}

std::optional<std::int64_t> WindowUnderTest::close(std::chrono::milliseconds timeout) {
    m_process->writeLine("close");
    return m_process->waitForExit(timeout);
}

BenchEnvironment::BenchEnvironment(BenchConfig config) : m_config(std::move(config)) {
    std::filesystem::create_directories(m_config.workDir);
}

BenchEnvironment::~BenchEnvironment() {
    if (m_repeater)
        m_repeater->writeLine("quit");
}

bool BenchEnvironment::startRepeater() {
    const std::string output = m_config.workDir + "/repeater.out";
    m_repeater =
        ChildProcess::start({m_config.binDir + "/tavrel-repeater", "--address", m_config.repeaterAddress,
                             "--quiet", "--air-rate", "0", "--reboot-seconds", "1"},
                            ChildOutput{false, output, m_config.workDir + "/repeater.err"});
    if (!m_repeater)
        return false;
    const std::int64_t deadline = monotonicNs() + 5'000'000'000;
    while (monotonicNs() < deadline) {
        if (fileContains(output, "listening on"))
            return true;
        if (m_repeater->waitForExit(20ms))
            return false;
    }
    return false;
}

std::string BenchEnvironment::newRunDir(const std::string& name) {
    const std::string dir = m_config.workDir + "/" + std::to_string(++m_runs) + "-" + name;
    std::filesystem::create_directories(dir + "/log");
    return dir;
}

std::unique_ptr<WindowUnderTest> BenchEnvironment::startWindow(const std::string& name,
                                                               const std::string& repeaterAddress,
                                                               bool airLogOn, const std::string& via) {
    const std::string dir = newRunDir(name);
    std::vector<std::string> argv = {m_config.binDir + "/tavrel_bench",
                                     "window",
                                     "--local",
                                     m_config.localAddress,
                                     "--log-port",
                                     std::to_string(m_config.logPort),
                                     "--air-port",
                                     std::to_string(m_config.airPort),
                                     "--repeater",
                                     repeaterAddress,
                                     "--dir",
                                     dir,
                                     "--max-seconds",
                                     std::to_string(kWindowMaxSeconds)};
    if (airLogOn)
        argv.push_back("--air-log-on");
    if (!via.empty()) {
        argv.push_back("--via");
        argv.push_back(via);
    }
    if (!m_config.without.empty()) {
        argv.push_back("--without");
        argv.push_back(m_config.without);
    }
    auto process = ChildProcess::start(argv, ChildOutput{true, "", dir + "/window.err"});
    if (!process) {
        progress("cannot start " + argv[0]);
        return nullptr;
    }
    const auto runLog = process->waitForLine("runlog ", kStartTimeout);
    const auto downlink = process->waitForLine("downlink ", kStartTimeout);
    const auto uplink = process->waitForLine("uplink ", kStartTimeout);
    const auto connected = process->waitForLine("connected ", kStartTimeout);
    if (!runLog || !downlink || !uplink || !connected ||
        (airLogOn && !process->waitForLine("air-log-on", 5s))) {
        progress("the window in " + dir + " did not connect (see window.err there)");
        return nullptr;
    }
    const std::int64_t deadline = monotonicNs() + std::chrono::nanoseconds(kBindTimeout).count();
    while (!udpSocketState(m_config.localAddress, m_config.logPort) ||
           !udpSocketState(m_config.localAddress, m_config.airPort)) {
        if (monotonicNs() > deadline) {
            progress("the window's receivers did not bind");
            return nullptr;
        }
        pause(5ms);
    }
    return std::make_unique<WindowUnderTest>(std::move(process), *runLog, *downlink, *uplink);
}

std::optional<std::int64_t> BenchEnvironment::waitDrained(int port, const std::string& file,
                                                          std::chrono::milliseconds timeout) {
    const std::int64_t deadline = monotonicNs() + std::chrono::nanoseconds(timeout).count();
    std::int64_t lastSize = fileSize(file);
    std::int64_t lastGrowth = monotonicNs();
    std::int64_t stableSince = lastGrowth;
    while (monotonicNs() < deadline) {
        const auto socket = udpSocketState(m_config.localAddress, port);
        const std::int64_t size = fileSize(file);
        const std::int64_t now = monotonicNs();
        if (size != lastSize) {
            lastSize = size;
            lastGrowth = now;
            stableSince = now;
        } else if (socket && socket->receiveQueueBytes > 0) {
            stableSince = now;
        } else if (now - stableSince >= std::chrono::nanoseconds(kQuietSpell).count()) {
            return lastGrowth;
        }
        pause(5ms);
    }
    return std::nullopt;
}

void BenchEnvironment::progress(const std::string& text) const {
    std::fprintf(stderr, "bench: %s\n", text.c_str());
}

} // namespace tavrel::bench

// A collector in the test's own event loop, with a clock the test steps, and helpers to run the loop until
// something has happened.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "fleet/fleet_collector.h"
#include "tests/session/temp_dir.h"

namespace tavrel::test {

using namespace std::chrono_literals;

// Runs the event loop until the condition holds.
inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class FleetFixture : public ::testing::Test {
protected:
    CollectorConfig makeConfig(std::vector<WatchedRepeaterConfig> repeaters) const {
        CollectorConfig config;
        config.localAddress = "127.0.0.1";
        config.logPort = 0; // any free port: the collector announces the one it bound
        config.airPort = 0;
        config.metricsPort = 0;
        config.stateDir = m_dir.path();
        config.webConfig = m_webConfig;
        config.repeaters = std::move(repeaters);
        return config;
    }

    FleetCollector& start(std::vector<WatchedRepeaterConfig> repeaters, bool serveMetrics = false) {
        CollectorOptions options;
        options.steadyNow = [this] { return std::chrono::steady_clock::now() + m_skew; };
        options.log = [this](std::string_view line) { m_said.emplace_back(line); };
        options.serveMetrics = serveMetrics;
        options.http = m_httpLimits;
        options.seed = 2301;
        m_collector = std::make_unique<FleetCollector>(makeConfig(std::move(repeaters)), options);
        const std::string error = m_collector->start();
        EXPECT_EQ(error, "");
        return *m_collector;
    }

    // Moves the collector's clock on and runs what has come due, as if that time had passed.
    void advance(std::chrono::milliseconds step) {
        m_skew += step;
        m_collector->runDueTimers();
    }

    bool connected(std::string_view name) {
        const WatchedRepeater* repeater = m_collector->find(name);
        return repeater && repeater->linkState() == WatchedRepeater::LinkState::Connected;
    }

    std::string runLog(std::string_view name) {
        return readFile(m_collector->find(name)->runFiles().runLogPath());
    }

    TempExeDir m_dir;
    std::chrono::milliseconds m_skew{0};
    std::vector<std::string> m_said;
    std::string m_webConfig;   // web_config of the next start
    HttpLimits m_httpLimits{}; // of the next start
    std::unique_ptr<FleetCollector> m_collector;
};

} // namespace tavrel::test

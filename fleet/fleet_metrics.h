// The fleet's metrics in prometheus-cpp's model: every series is built from the repeaters' values when a
// scrape asks, so nothing is stored twice.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

#include "fleet/repeater_metrics.h"

namespace tavrel {

// The `alarm` label of each lamp, in lamp order.
inline constexpr std::array<std::string_view, kLampCount> kAlarmLabels{"vswr", "temperature", "rx_pll",
                                                                       "tx_pll", "dc_voltage"};

class FleetMetrics : public prometheus::Collectable {
public:
    explicit FleetMetrics(std::string version) : m_version(std::move(version)) {}

    // Repeaters are listed in the order they were added; a removed one's series go with it.
    void add(std::shared_ptr<const RepeaterMetrics> repeater);
    void remove(const RepeaterMetrics& repeater);
    void countUnknownSender() { m_unknownSenders.fetch_add(1, std::memory_order_relaxed); }
    std::uint64_t unknownSenders() const { return m_unknownSenders.load(std::memory_order_relaxed); }
    // How the last reading of the settings file went (at start or on SIGHUP): a failure keeps the time of the
    // last success. Unix time in seconds.
    void settingsRead(bool successful, double unixSeconds);

    std::vector<prometheus::MetricFamily> Collect() const override;

private:
    const std::string m_version;
    mutable std::mutex m_mutex; // guards the list only, never held while a value is read
    std::vector<std::shared_ptr<const RepeaterMetrics>> m_repeaters;
    std::atomic<std::uint64_t> m_unknownSenders{0};
    std::atomic<bool> m_lastReadSuccessful{true};
    std::atomic<double> m_lastSuccessSeconds{0};
};

// The exposition text (format 0.0.4) of the families, as the /metrics endpoint serves it.
std::string exposition(const std::vector<prometheus::MetricFamily>& families);

} // namespace tavrel

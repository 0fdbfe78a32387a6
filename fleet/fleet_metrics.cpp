// Builds the metric families of every watched repeater from their atomic values.
#include "fleet/fleet_metrics.h"

#include <algorithm>

#include <prometheus/text_serializer.h>

#include "fleet/process_metrics.h"

namespace tavrel {
namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

double loaded(const std::atomic<std::uint64_t>& value) {
    return static_cast<double>(value.load(std::memory_order_relaxed));
}

ClientMetric sample(const RepeaterMetrics& repeater, MetricType type, double value, int alarm = -1) {
    ClientMetric metric;
    if (alarm >= 0)
        metric.label.push_back({"alarm", std::string(kAlarmLabels[static_cast<std::size_t>(alarm)])});
    metric.label.push_back({"repeater", repeater.name});
    (type == MetricType::Counter ? metric.counter.value : metric.gauge.value) = value;
    return metric;
}

MetricFamily family(std::string name, std::string help, MetricType type) {
    return MetricFamily{std::move(name), std::move(help), type, {}};
}

MetricFamily gauge(std::string name, std::string help, double value,
                   std::vector<prometheus::ClientMetric::Label> labels = {}) {
    ClientMetric metric;
    metric.label = std::move(labels);
    metric.gauge.value = value;
    return MetricFamily{std::move(name), std::move(help), MetricType::Gauge, {std::move(metric)}};
}

} // namespace

void FleetMetrics::add(std::shared_ptr<const RepeaterMetrics> repeater) {
    std::lock_guard lock(m_mutex);
    m_repeaters.push_back(std::move(repeater));
}

void FleetMetrics::settingsRead(bool successful, double unixSeconds) {
    m_lastReadSuccessful.store(successful, std::memory_order_relaxed);
    if (successful)
        m_lastSuccessSeconds.store(unixSeconds, std::memory_order_relaxed);
}

void FleetMetrics::remove(const RepeaterMetrics& repeater) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_repeaters, [&](const auto& held) { return held.get() == &repeater; });
}

std::vector<MetricFamily> FleetMetrics::Collect() const {
    std::vector<std::shared_ptr<const RepeaterMetrics>> repeaters;
    {
        std::lock_guard lock(m_mutex);
        repeaters = m_repeaters;
    }
    auto up =
        family("tavrel_repeater_up", "1 while the O&M link to the repeater is connected", MetricType::Gauge);
    auto active = family("tavrel_alarm_active",
                         "1 while the alarm is reported active; present while the alarm state is known",
                         MetricType::Gauge);
    auto raised = family("tavrel_alarm_raised_total", "How often the alarm came on", MetricType::Counter);
    auto changed = family("tavrel_alarm_last_change_timestamp_seconds",
                          "When the alarm last came on or went off (Unix time)", MetricType::Gauge);
    auto logLines =
        family("tavrel_log_lines_received_total", "Repeater-log datagrams filed", MetricType::Counter);
    auto airRecords =
        family("tavrel_airlog_records_received_total", "Air-log records filed", MetricType::Counter);
    auto connects = family("tavrel_connects_total", "O&M link connections made", MetricType::Counter);
    auto disconnects = family("tavrel_disconnects_total", "O&M link connections lost", MetricType::Counter);
    auto writable =
        family("tavrel_run_file_writable",
               "0 while the last write of the repeater's run file failed (disk full, directory gone)",
               MetricType::Gauge);
    auto relayClients =
        family("tavrel_relay_clients", "Windows connected through the repeater's relay", MetricType::Gauge);
    auto relayCommands =
        family("tavrel_relay_commands_total", "Windows' commands written down by the relay, by result",
               MetricType::Counter);
    auto relayRefused =
        family("tavrel_relay_refused_connections_total",
               "Relay clients closed at once: outside relay_allow or too many", MetricType::Counter);
    for (const auto& repeater : repeaters) {
        const RepeaterMetrics& r = *repeater;
        if (r.relayed.load(std::memory_order_relaxed)) {
            relayClients.metric.push_back(sample(r, MetricType::Gauge, loaded(r.relayClients)));
            for (const auto& [result, value] :
                 {std::pair{"sent", &r.relayCommandsSent}, std::pair{"refused", &r.relayCommandsRefused}}) {
                relayCommands.metric.push_back(sample(r, MetricType::Counter, loaded(*value)));
                relayCommands.metric.back().label.push_back({"result", result});
            }
            relayRefused.metric.push_back(sample(r, MetricType::Counter, loaded(r.relayRefusedConnections)));
        }
        up.metric.push_back(sample(r, MetricType::Gauge, r.up.load(std::memory_order_relaxed) ? 1 : 0));
        const bool known = r.alarmsKnown.load(std::memory_order_relaxed);
        for (int lamp = 0; lamp < kLampCount; ++lamp) {
            const auto i = static_cast<std::size_t>(lamp);
            if (known)
                active.metric.push_back(sample(
                    r, MetricType::Gauge, r.alarmActive[i].load(std::memory_order_relaxed) ? 1 : 0, lamp));
            raised.metric.push_back(sample(r, MetricType::Counter, loaded(r.alarmRaised[i]), lamp));
            if (const auto ms = r.alarmLastChangeMs[i].load(std::memory_order_relaxed); ms != 0)
                changed.metric.push_back(
                    sample(r, MetricType::Gauge, static_cast<double>(ms) / 1000.0, lamp));
        }
        logLines.metric.push_back(sample(r, MetricType::Counter, loaded(r.logLines)));
        airRecords.metric.push_back(sample(r, MetricType::Counter, loaded(r.airRecords)));
        connects.metric.push_back(sample(r, MetricType::Counter, loaded(r.connects)));
        disconnects.metric.push_back(sample(r, MetricType::Counter, loaded(r.disconnects)));
        for (std::size_t file = 0; file < kRunFileLabels.size(); ++file) {
            ClientMetric metric =
                sample(r, MetricType::Gauge, r.runFileWritable[file].load(std::memory_order_relaxed) ? 1 : 0);
            metric.label.insert(metric.label.begin(), {"file", std::string(kRunFileLabels[file])});
            writable.metric.push_back(std::move(metric));
        }
    }

    auto unknown =
        family("tavrel_unknown_sender_datagrams_total",
               "Datagrams from addresses that are no configured repeater (not filed)", MetricType::Counter);
    ClientMetric unknownCount;
    unknownCount.counter.value = static_cast<double>(unknownSenders());
    unknown.metric.push_back(std::move(unknownCount));
    auto build = gauge("tavrel_build_info", "The collector's version; always 1", 1, {{"version", m_version}});

    std::vector<MetricFamily> families;
    for (auto* f : {&up, &active, &raised, &changed, &logLines, &airRecords, &connects, &disconnects,
                    &writable, &relayClients, &relayCommands, &relayRefused, &unknown, &build})
        if (!f->metric.empty() || !f->name.starts_with("tavrel_relay_")) // a fleet without relays shows none
            families.push_back(std::move(*f));
    // The collector's own health, named as node_exporter and snmp_exporter name theirs.
    families.push_back(gauge("tavrel_collector_build_info", "The collector's version; always 1", 1,
                             {{"version", m_version}}));
    families.push_back(gauge("tavrel_collector_config_last_reload_successful",
                             "1 when the last reading of the settings file (start or SIGHUP) succeeded",
                             m_lastReadSuccessful.load(std::memory_order_relaxed) ? 1 : 0));
    families.push_back(gauge("tavrel_collector_config_last_reload_success_timestamp_seconds",
                             "When the settings file was last read successfully (Unix time)",
                             m_lastSuccessSeconds.load(std::memory_order_relaxed)));
    for (MetricFamily& f : processFamilies())
        families.push_back(std::move(f));
    return families;
}

std::string exposition(const std::vector<prometheus::MetricFamily>& families) {
    return prometheus::TextSerializer().Serialize(families);
}

} // namespace tavrel

// A fleet of watched repeaters in one event loop: the shared poller and timer schedule, the fleet's log and
// air ports that tell senders apart, the metrics endpoint, and adding or removing repeaters on a new
// configuration.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "fleet/collector_config.h"
#include "fleet/datagram_port.h"
#include "fleet/fleet_context.h"
#include "fleet/fleet_metrics.h"
#include "fleet/metrics_server.h"
#include "fleet/watched_repeater.h"
#include "platform/event_poller.h"
#include "platform/timer_schedule.h"

class QSocketNotifier;
class QTimer;

namespace tavrel {

inline constexpr TimerSchedule::Key kWebConfigTimer{0, 2};
inline constexpr std::chrono::seconds kWebConfigCheckPeriod{5};

// What tests and benchmarks put in place of the real pieces.
struct CollectorOptions {
    std::function<TimerSchedule::Clock::time_point()> steadyNow{}; // empty: the steady clock
    MonitorRules::WallTime wallNow{};                              // empty: the system clock
    StampClock stampNow{};                                         // empty: local time
    std::function<void(std::string_view)> log{};                   // the collector's own log; empty: stderr
    bool serveMetrics = true;
    HttpLimits http{};
    std::uint32_t seed = 0; // of the reconnection jitter; 0: from the system
};

class FleetCollector : public QObject {
public:
    explicit FleetCollector(CollectorConfig config, CollectorOptions options = {}, QObject* parent = nullptr);
    ~FleetCollector() override;

    // Binds both UDP ports and the metrics listener, then starts watching every repeater. On failure (a port
    // in use) nothing runs and the message says which.
    std::string start();
    // Applies a re-read configuration: removed repeaters stop, new ones start, changed ones start afresh and
    // the others go on undisturbed. Changes to [collector] need a restart and are only reported.
    void reload(const CollectorConfig& config);
    // A re-read settings file had a mistake: the running settings stay, and the metrics show the failed
    // reload until one succeeds.
    void reloadFailed(const std::string& error);

    // Reads the web configuration again when it or a file it names changed (its timer calls it every
    // kWebConfigCheckPeriod); a changed file that is bad keeps the running one and is told in the log.
    void checkWebConfig();

    // Runs every timer that is due by the fleet's clock (the loop's timer calls it; tests call it directly).
    void runDueTimers();

    // At local midnight every repeater's files start afresh, and old files are swept. The fleet's own timers
    // have owner 0, which no repeater has (kHttpTimer, kWebConfigTimer).
    static constexpr TimerSchedule::Key kMidnightTimer{0, 3};

    const CollectorConfig& config() const { return m_config; }
    FleetMetrics& metrics() { return *m_metrics; }
    std::optional<std::uint16_t> metricsPort() const;
    const MetricsServer& metricsServer() const { return m_metricsServer; }
    std::uint16_t logPort() const { return m_logPort.port(); }
    std::uint16_t airPort() const { return m_airPort.port(); }
    std::size_t repeaterCount() const { return m_repeaters.size(); }
    WatchedRepeater* find(std::string_view name) const;
    const TimerSchedule& timers() const { return m_timers; }

private:
    void addRepeater(const WatchedRepeaterConfig& config);
    void removeRepeater(std::uint32_t id);
    void onDatagram(bool log, std::uint32_t sender, std::span<const char> bytes);
    void dispatchEvents();
    void armLoopTimer();
    void say(const std::string& text) const;
    double unixSeconds() const;
    void planMidnight();
    void onMidnight();
    // Removes what keep_days and max_state_mb leave out, and tells it in one line.
    void sweepStateFiles();
    void startWebConfigTimer();

    CollectorConfig m_config;
    CollectorOptions m_options;
    std::mt19937 m_random;
    EventPoller m_poller;
    TimerSchedule m_timers;
    FleetContext m_context;
    std::map<std::uint32_t, std::unique_ptr<WatchedRepeater>> m_repeaters;
    std::unordered_map<std::uint32_t, WatchedRepeater*> m_bySender; // IPv4 address in host order
    std::uint32_t m_nextId = 1;
    DatagramPort m_logPort;
    DatagramPort m_airPort;
    std::set<std::uint32_t> m_reportedUnknown;
    std::shared_ptr<FleetMetrics> m_metrics;
    MetricsServer m_metricsServer;
    std::vector<FileStamp> m_webStamps;
    std::vector<std::string> m_webFiles;
    QSocketNotifier* m_pollerNotifier = nullptr;
    QTimer* m_loopTimer = nullptr;
    std::optional<TimerSchedule::Clock::time_point> m_armedFor;
    StampedTime m_filesDay; // the day the running files were started (the time of day is not used)
};

} // namespace tavrel

// One watched repeater of a fleet: the window's monitoring rules carried by non-blocking sockets in the
// fleet's poller and by the fleet's timer schedule, its run files, and the values its metrics are read from.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "fleet/collector_config.h"
#include "fleet/fleet_context.h"
#include "fleet/relay_endpoint.h"
#include "fleet/repeater_metrics.h"
#include "platform/socket.h"
#include "protocol/om_commands.h"
#include "session/monitor_rules.h"
#include "session/run_files.h"
#include "session/write_watch.h"

namespace tavrel {

class WatchedRepeater final : private MonitorActions {
public:
    // The link's own timers, numbered apart from the rules' (session/session_timers.h).
    static constexpr int kConnectAttemptTimer = 200;
    static constexpr int kConnectTimeoutTimer = 201;
    // Each connection attempt waits the window's retry pause plus up to this much more, so that a fleet that
    // lost every link at once does not reconnect in one burst.
    static constexpr std::chrono::milliseconds kRetryJitter{300};

    enum class LinkState { Waiting, Connecting, Connected };

    WatchedRepeater(std::uint32_t id, WatchedRepeaterConfig config, FleetContext& fleet);
    // Stops its timers and closes its socket; its files are closed after every line already.
    ~WatchedRepeater() override;
    WatchedRepeater(const WatchedRepeater&) = delete;
    WatchedRepeater& operator=(const WatchedRepeater&) = delete;

    // Creates the run files (in state_dir/<address>/) and plans the first connection attempt within the
    // jitter.
    void start();
    // Goes on in new run files named by this time (the collector's midnight): a new run log with its header
    // and the version line, new data files with their next records. The link is not touched.
    void startFilesAfresh(const StampedTime& startedAt);
    // Whether the run files stay open between lines (fleet/collector_config.h, keep_files_open).
    void keepFilesOpen(bool keep) { m_runFiles.keepOpen(keep); }
    // A timer of this repeater is due: the rules' timers run again after their period.
    void onTimer(int id);
    // A datagram from this repeater's address reached the fleet's log or air port.
    void onLogDatagram(std::string_view bytes);
    void onAirRecord(std::span<const std::uint8_t> bytes);

    std::uint32_t id() const { return m_id; }
    const WatchedRepeaterConfig& config() const { return m_config; }
    const std::shared_ptr<RepeaterMetrics>& metrics() const { return m_metrics; }
    const MonitorRules& rules() const { return m_rules; }
    const RunFiles& runFiles() const { return m_runFiles; }
    LinkState linkState() const { return m_state; }
    // The O&M socket's descriptor while connecting or connected, else -1.
    int linkDescriptor() const { return m_socket.fd(); }
    // The relay that shares this repeater with windows; null without relay_listen.
    const RelayEndpoint* relay() const { return m_relay.get(); }

private:
    void tellWrite(WriteWatch& watch, WriteResult result, RunFileKind kind);
    // MonitorActions
    void sendHeartbeat() override { sendCheckingLink(om::kHeartbeat); }
    void sendAlarmQuery() override { sendCheckingLink(om::kAlarmQuery); }
    void sendLogDestination() override;
    void startReceivers() override;
    void startTimer(int id) override;
    void stopTimer(int id) override;
    void reportEvent(std::string_view text) override;
    void reportConnection(bool connected) override;
    void reportLamps() override {} // no lamps to show: the alarm states are read for metrics instead

    void attemptConnect();
    void onLinkEvents(std::uint32_t events);
    void linkUp();
    void readLink();
    void linkLost();
    void retryLater();
    void closeSocket();
    bool send(std::string_view text);
    void sendCheckingLink(std::string_view text);
    void syncAlarmMetrics();
    // Relay hooks: its lines, and the air log kept on while the collector or a window wants it.
    RelayHooks relayHooks();
    void relayAirLogWishChanged();
    TimerSchedule::Key key(int id) const { return {m_id, id}; }

    const std::uint32_t m_id;
    const WatchedRepeaterConfig m_config;
    FleetContext& m_fleet;
    RunFiles m_runFiles;
    // A file that stops taking lines, or takes them again, is told once in the collector's own log.
    WriteWatch m_runLogWrites;
    WriteWatch m_downlinkWrites;
    WriteWatch m_uplinkWrites;
    MonitorRules m_rules;
    std::shared_ptr<RepeaterMetrics> m_metrics;
    Socket m_socket;
    EventPoller::Token m_token = 0;
    LinkState m_state = LinkState::Waiting;
    TimerSchedule::Clock::time_point m_lastAttempt{};
    std::unique_ptr<RelayEndpoint> m_relay;
};

} // namespace tavrel

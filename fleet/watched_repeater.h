// One watched repeater of a fleet: the window's monitoring rules carried by non-blocking sockets in the
// fleet's poller and by the fleet's timer schedule, its run files, and the values its metrics are read from.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "fleet/collector_config.h"
#include "fleet/fleet_context.h"
#include "fleet/relay_endpoint.h"
#include "fleet/repeater_metrics.h"
#include "link/link_machine.h"
#include "platform/socket.h"
#include "protocol/om_commands.h"
#include "session/monitor_rules.h"
#include "session/run_recorder.h"

namespace tavrel {

class WatchedRepeater final : private MonitorActions, private RunRecorderListener {
public:
    // The link machine's wake-up, numbered apart from the rules' timers (session/session_timers.h).
    static constexpr int kLinkTimer = 200;
    // Each connection attempt waits the window's retry pause plus up to this much more, so that a fleet that
    // lost every link at once does not reconnect in one burst.
    static constexpr std::chrono::milliseconds kRetryJitter{300};

    using LinkState = LinkMachine::State;

    WatchedRepeater(std::uint32_t id, WatchedRepeaterConfig config, FleetContext& fleet);
    // Stops its timers and closes its socket; its files are closed after every line already.
    ~WatchedRepeater() override;
    WatchedRepeater(const WatchedRepeater&) = delete;
    WatchedRepeater& operator=(const WatchedRepeater&) = delete;

    // Creates the run files (in state_dir/<address>/) and plans the first connection attempt within the
    // jitter.
    void start();
    // Goes on in new run files named by the clock's time now (the collector's midnight): a new run log with
    // its header, new data files with their next records. The link is not touched.
    void startFilesAfresh();
    // Whether the run files stay open between lines (fleet/collector_config.h, keep_files_open).
    void keepFilesOpen(bool keep) { m_recorder.keepOpen(keep); }
    // Files and tells a line in this repeater's run log, as the rules' own lines are.
    void appendRunLog(std::string_view text);
    // Sends the text on the O&M link when it is connected, without waiting; false when not taken whole.
    bool send(std::string_view text);
    // A timer of this repeater is due: the rules' timers run again after their period.
    void onTimer(int id);
    // A datagram from this repeater's address reached the fleet's log or air port.
    void onLogDatagram(std::string_view bytes);
    void onAirRecord(std::span<const std::uint8_t> bytes);

    std::uint32_t id() const { return m_id; }
    const WatchedRepeaterConfig& config() const { return m_config; }
    const std::shared_ptr<RepeaterMetrics>& metrics() const { return m_metrics; }
    const MonitorRules& rules() const { return m_rules; }
    const RunFiles& runFiles() const { return m_recorder.files(); }
    // The run's filing; startAfresh() on it begins new run files.
    RunRecorder& recorder() { return m_recorder; }
    LinkState linkState() const { return m_link.state(); }
    // The O&M socket's descriptor while connecting or connected, else -1.
    int linkDescriptor() const { return m_socket.fd(); }
    // The relay that shares this repeater with windows; null without relay_listen.
    const RelayEndpoint* relay() const { return m_relay.get(); }

private:
    // RunRecorderListener: a file's failures and recoveries go to the collector's own log too.
    void onFilingChanged(std::string_view text) override;
    // MonitorActions
    void sendHeartbeat() override { sendCheckingLink(om::kHeartbeat); }
    void sendAlarmQuery() override { sendCheckingLink(om::kAlarmQuery); }
    void sendLogDestination() override;
    void sendAirLogOn() override;
    void startReceivers() override;
    void startTimer(int id) override;
    void stopTimer(int id) override;
    void reportEvent(std::string_view text) override { appendRunLog(text); }
    void reportConnection(bool connected) override;
    void reportAlarmState(std::int32_t bits) override;

    // Carries out what the link machine asks and sets its next wake-up.
    void act(LinkMachine::Action action);
    void attemptConnect();
    void onLinkEvents(std::uint32_t events);
    void readLink();
    void closeSocket();
    void sendCheckingLink(std::string_view text);
    // Relay hooks: its lines, and the air log kept on while the collector or a window wants it.
    RelayHooks relayHooks();
    void relayAirLogWishChanged();
    // tavrel_run_file_writable follows the recorder's files.
    void syncWritableMetrics();
    TimerSchedule::Key key(int id) const { return {m_id, id}; }

    const std::uint32_t m_id;
    const WatchedRepeaterConfig m_config;
    FleetContext& m_fleet;
    RunRecorder m_recorder;
    MonitorRules m_rules;
    LinkMachine m_link;
    std::shared_ptr<RepeaterMetrics> m_metrics;
    Socket m_socket;
    EventPoller::Token m_token = 0;
    std::unique_ptr<RelayEndpoint> m_relay;
};

} // namespace tavrel

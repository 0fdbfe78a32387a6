// A watched repeater's link as a small state machine on the fleet's poller, and the rules' actions on it.
#include "fleet/watched_repeater.h"

#include <array>
#include <cerrno>
#include <filesystem>
#include <sys/epoll.h>
#include <sys/socket.h>

#include "link/om_link.h"
#include "platform/narrow_text.h"
#include "protocol/air_log_record.h"
#include "session/monitor_texts.h"
#include "session/session_timers.h"

namespace tavrel {
namespace {

// Chunks read per wake-up, so one chatty repeater cannot hold up the others; the rest is read next time.
constexpr int kChunksPerWake = 16;

std::string repeaterDirectory(const FleetContext& fleet, const WatchedRepeaterConfig& config) {
    return fleet.stateDir + "/" + config.address;
}

} // namespace

WatchedRepeater::WatchedRepeater(std::uint32_t id, WatchedRepeaterConfig config, FleetContext& fleet)
    : m_id(id), m_config(std::move(config)), m_fleet(fleet),
      m_recorder(repeaterDirectory(fleet, m_config), m_config.address, fleet.stampNow, *this),
      m_rules(*this, fleet.wallNow), m_link([&random = fleet.random] {
          std::uniform_int_distribution<int> spread(0, static_cast<int>(kRetryJitter.count()) - 1);
          return std::chrono::milliseconds(spread(random));
      }),
      m_metrics(std::make_shared<RepeaterMetrics>(m_config.name)) {
    m_rules.setAirLogOnConnect(m_config.airLog);
    m_recorder.keepOpen(m_fleet.keepFilesOpen);
    if (m_config.relayListen)
        m_relay = std::make_unique<RelayEndpoint>(m_id, m_config, m_fleet, *m_metrics, relayHooks());
}

WatchedRepeater::~WatchedRepeater() {
    m_fleet.timers.stopAll(m_id);
    closeSocket();
}

void WatchedRepeater::start() {
    std::error_code ignored; // a directory that cannot be made fails the run log's creation, which is told
    std::filesystem::create_directories(repeaterDirectory(m_fleet, m_config), ignored);
    m_recorder.start();
    syncWritableMetrics();
    if (m_relay)
        if (const std::string error = m_relay->open(); !error.empty() && m_fleet.say)
            m_fleet.say(m_config.name + ": " + error + "; watched without a relay");
    appendRunLog(m_link.start(m_fleet.steadyNow()));
    act(LinkMachine::Action::None);
}

void WatchedRepeater::startFilesAfresh() {
    m_recorder.startAfresh();
    syncWritableMetrics();
}

void WatchedRepeater::appendRunLog(std::string_view text) {
    m_recorder.append(text);
}

void WatchedRepeater::onFilingChanged(std::string_view text) {
    syncWritableMetrics();
    if (m_fleet.say)
        m_fleet.say(m_config.name + ": " + std::string(text));
}

void WatchedRepeater::onTimer(int id) {
    if (id == kLinkTimer) {
        act(m_link.onWake(m_fleet.steadyNow()));
        return;
    }
    if (RelayEndpoint::ownsTimer(id)) {
        if (m_relay)
            m_relay->onTimer(id);
        return;
    }
    // The rules' timers are periodic, as the window's QTimers; a rule that stops one stops it for good.
    m_fleet.timers.start(key(id), m_fleet.steadyNow() + timer::period(id));
    m_rules.onTimer(id);
}

void WatchedRepeater::onLogDatagram(std::string_view bytes) {
    m_rules.onRepeaterLog();
    appendRunLog(toValidUtf8(bytes));
    m_metrics->logLines.fetch_add(1, std::memory_order_relaxed);
    if (m_relay)
        m_relay->onLogDatagram(bytes);
}

void WatchedRepeater::onAirRecord(std::span<const std::uint8_t> bytes) {
    if (m_relay) {
        m_relay->onAirRecord(std::span(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        if (!m_config.airLog)
            return; // on for the windows alone: passed to them, not filed
    }
    m_recorder.fileAirRecord(bytes);
    m_rules.onAirLogRecord();
    m_metrics->airRecords.fetch_add(1, std::memory_order_relaxed);
}

void WatchedRepeater::sendLogDestination() {
    send(om::formatLogDestination(m_fleet.localAddress, m_fleet.logPort));
}

void WatchedRepeater::sendAirLogOn() {
    send(om::formatAirLogOn(m_fleet.localAddress, m_fleet.airPort));
}

void WatchedRepeater::startReceivers() {
    // The fleet's two ports run already; the repeater is told where to log at once, as the window's log
    // receiver announces itself once when it has started.
    sendLogDestination();
}

void WatchedRepeater::startTimer(int id) {
    m_fleet.timers.start(key(id), m_fleet.steadyNow() + timer::period(id));
}

void WatchedRepeater::stopTimer(int id) {
    m_fleet.timers.stop(key(id));
}

void WatchedRepeater::reportConnection(bool connected) {
    m_metrics->up.store(connected, std::memory_order_relaxed);
    (connected ? m_metrics->connects : m_metrics->disconnects).fetch_add(1, std::memory_order_relaxed);
    if (!connected)
        m_metrics->alarmsKnown.store(false, std::memory_order_relaxed);
}

void WatchedRepeater::act(LinkMachine::Action action) {
    switch (action) {
    case LinkMachine::Action::Connect:
        attemptConnect();
        return; // sets the wake-up itself
    case LinkMachine::Action::Abandon:
        closeSocket();
        break;
    case LinkMachine::Action::ReportConnected:
        m_fleet.poller.modify(m_token, m_socket.fd(), EPOLLIN | EPOLLRDHUP);
        m_rules.onConnected();
        if (m_relay)
            m_relay->onLinkUp();
        break;
    case LinkMachine::Action::ReportLost:
        closeSocket();
        if (m_relay)
            m_relay->onLinkDown();
        m_rules.onDisconnected();
        break;
    case LinkMachine::Action::None:
        break;
    }
    if (const auto wake = m_link.wakeAt())
        m_fleet.timers.start(key(kLinkTimer), *wake);
    else
        m_fleet.timers.stop(key(kLinkTimer));
}

void WatchedRepeater::attemptConnect() {
    m_socket = freshLinkSocket();
    const bool started = beginLinkConnect(m_socket, m_config.address);
    if (started)
        m_token = m_fleet.poller.add(m_socket.fd(), EPOLLOUT,
                                     [this](std::uint32_t events) { onLinkEvents(events); });
    if (!started || m_token == 0) {
        act(m_link.onConnectFailed(m_fleet.steadyNow()));
        return;
    }
    act(LinkMachine::Action::None); // the attempt's time-out
}

void WatchedRepeater::onLinkEvents(std::uint32_t events) {
    if (m_link.state() == LinkState::Connected) {
        readLink();
        return;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if ((events & (EPOLLERR | EPOLLHUP)) != 0 ||
        ::getsockopt(m_socket.fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
        act(m_link.onConnectFailed(m_fleet.steadyNow()));
        return;
    }
    act(m_link.onConnectSucceeded());
}

void WatchedRepeater::readLink() {
    std::array<char, kLinkChunkBytes> buffer{};
    for (int chunk = 0; chunk < kChunksPerWake; ++chunk) {
        const ssize_t received = ::recv(m_socket.fd(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (received > 0) {
            const std::string_view text(buffer.data(), static_cast<std::size_t>(received));
            m_rules.onOmData(text);
            if (m_relay)
                m_relay->onRepeaterBytes(text);
            continue;
        }
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        // Closed by the repeater, reset, shut down after a failed send, or given up by keep-alive.
        act(m_link.onLost(m_fleet.steadyNow()));
        return;
    }
}

void WatchedRepeater::closeSocket() {
    if (m_token != 0)
        m_fleet.poller.remove(m_token, m_socket.fd());
    m_token = 0;
    m_socket.close();
}

bool WatchedRepeater::send(std::string_view text) {
    return m_link.state() == LinkState::Connected &&
           m_socket.send(text.data(), text.size(), MSG_DONTWAIT) == static_cast<ssize_t>(text.size());
}

void WatchedRepeater::sendCheckingLink(std::string_view text) {
    // As the window's link: a failed check shuts the socket down, and its reading sees the loss.
    if (m_link.state() == LinkState::Connected && !send(text))
        m_socket.shutdownBoth();
}

RelayHooks WatchedRepeater::relayHooks() {
    return {[this](std::string_view text) { return send(text); },
            [this](std::string_view line) {
                appendRunLog(line);
                if (m_fleet.say)
                    m_fleet.say(m_config.name + ": " + std::string(line));
            },
            [this] { relayAirLogWishChanged(); }};
}

void WatchedRepeater::relayAirLogWishChanged() {
    if (m_config.airLog)
        return; // on for the collector's own files all along
    send(m_relay->clientsWantAirLog() ? om::formatAirLogOn(m_fleet.localAddress, m_fleet.airPort)
                                      : std::string(om::kAirLogOff));
}

void WatchedRepeater::syncWritableMetrics() {
    const auto taking = m_recorder.takingLines();
    for (std::size_t file = 0; file < taking.size(); ++file)
        m_metrics->runFileWritable[file].store(taking[file], std::memory_order_relaxed);
}

void WatchedRepeater::reportAlarmState(std::int32_t /*bits*/) {
    const AlarmTracker& alarms = m_rules.alarms();
    for (int lamp = 0; lamp < kLampCount; ++lamp) {
        const auto i = static_cast<std::size_t>(lamp);
        m_metrics->alarmActive[i].store(alarms.active(lamp), std::memory_order_relaxed);
        m_metrics->alarmRaised[i].store(alarms.raisedCount(lamp), std::memory_order_relaxed);
        const auto changed = alarms.lastChange(lamp);
        m_metrics->alarmLastChangeMs[i].store(
            changed == WallClock::time_point{}
                ? 0
                : std::chrono::duration_cast<std::chrono::milliseconds>(changed.time_since_epoch()).count(),
            std::memory_order_relaxed);
    }
    m_metrics->alarmsKnown.store(true, std::memory_order_relaxed);
}

} // namespace tavrel

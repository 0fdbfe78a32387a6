// A watched repeater's link as a small state machine on the fleet's poller, and the rules' actions on it.
#include "fleet/watched_repeater.h"

#include <array>
#include <cerrno>
#include <filesystem>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include "link/om_link.h"
#include "platform/narrow_text.h"
#include "protocol/air_log_record.h"
#include "protocol/alarm_report.h"
#include "session/monitor_texts.h"
#include "session/session_timers.h"

namespace tavrel {
namespace {

// The window reads the O&M channel in chunks of this size too; an alarm report is far shorter.
constexpr std::size_t kReceiveChunkBytes = 256;
// Chunks read per wake-up, so one chatty repeater cannot hold up the others; the rest is read next time.
constexpr int kChunksPerWake = 16;

} // namespace

WatchedRepeater::WatchedRepeater(std::uint32_t id, WatchedRepeaterConfig config, FleetContext& fleet)
    : m_id(id), m_config(std::move(config)), m_fleet(fleet), m_rules(*this, fleet.wallNow),
      m_metrics(std::make_shared<RepeaterMetrics>(m_config.name)) {
    if (m_config.relayListen)
        m_relay = std::make_unique<RelayEndpoint>(m_id, m_config, m_fleet, *m_metrics, relayHooks());
}

WatchedRepeater::~WatchedRepeater() {
    m_fleet.timers.stopAll(m_id);
    closeSocket();
}

void WatchedRepeater::start() {
    startFilesAfresh(m_fleet.stampNow());
    if (m_relay)
        if (const std::string error = m_relay->open(); !error.empty() && m_fleet.say)
            m_fleet.say(m_config.name + ": " + error + "; watched without a relay");
    retryLater();
}

void WatchedRepeater::startFilesAfresh(const StampedTime& startedAt) {
    const std::string directory = m_fleet.stateDir + "/" + m_config.address;
    std::error_code ignored; // a directory that cannot be made fails the run log's creation, which is told
    std::filesystem::create_directories(directory, ignored);
    m_runFiles = RunFiles(directory, m_config.address, startedAt);
    m_runFiles.keepOpen(m_fleet.keepFilesOpen);
    m_runLogWrites = WriteWatch(m_runFiles.runLogPath());
    m_downlinkWrites = WriteWatch(m_runFiles.downlinkDataPath());
    m_uplinkWrites = WriteWatch(m_runFiles.uplinkDataPath());
    for (auto& writable : m_metrics->runFileWritable)
        writable.store(true, std::memory_order_relaxed);
    tellWrite(m_runLogWrites, m_runFiles.createRunFiles(), RunFileKind::RunLog);
    reportEvent(versionBanner());
}

void WatchedRepeater::tellWrite(WriteWatch& watch, WriteResult result, RunFileKind kind) {
    const auto change = watch.record(result);
    m_metrics->runFileWritable[static_cast<std::size_t>(kind)].store(!watch.failing(),
                                                                     std::memory_order_relaxed);
    if (change && m_fleet.say)
        m_fleet.say(m_config.name + ": " + *change);
}

void WatchedRepeater::onTimer(int id) {
    switch (id) {
    case kConnectAttemptTimer:
        attemptConnect();
        break;
    case kConnectTimeoutTimer: // not answered (repeater switched off): given up and tried afresh
        closeSocket();
        retryLater();
        break;
    case RelayEndpoint::kFlushTimer:
        if (m_relay)
            m_relay->onTimer();
        break;
    default:
        // The rules' timers are periodic, as the window's QTimers; a rule that stops one stops it for good.
        m_fleet.timers.start(key(id), m_fleet.steadyNow() + timer::period(id));
        m_rules.onTimer(id);
        break;
    }
}

void WatchedRepeater::onLogDatagram(std::string_view bytes) {
    m_rules.onRepeaterLog();
    reportEvent(toValidUtf8(bytes));
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
    const AirLogLines lines = describeAirLogRecord(bytes);
    tellWrite(lines.downlink ? m_downlinkWrites : m_uplinkWrites,
              m_runFiles.appendDataLine(lines.downlink, lines.fileLine),
              lines.downlink ? RunFileKind::Downlink : RunFileKind::Uplink);
    m_metrics->airRecords.fetch_add(1, std::memory_order_relaxed);
}

void WatchedRepeater::sendLogDestination() {
    send(om::formatLogDestination(m_fleet.localAddress, m_fleet.logPort));
}

void WatchedRepeater::startReceivers() {
    // The fleet's two ports run already; the repeater is told where to log at once, as the window's log
    // receiver announces itself once when it has started.
    sendLogDestination();
}

void WatchedRepeater::startTimer(int id) {
    if (id == timer::kLampPaint)
        return; // the lamps' blinking is for eyes only; a thousand repeaters would wake the loop 5,000
                // times/s
    m_fleet.timers.start(key(id), m_fleet.steadyNow() + timer::period(id));
}

void WatchedRepeater::stopTimer(int id) {
    m_fleet.timers.stop(key(id));
}

void WatchedRepeater::reportEvent(std::string_view text) {
    tellWrite(m_runLogWrites, m_runFiles.appendRunLog(formatStampedLine(m_fleet.stampNow(), text)),
              RunFileKind::RunLog);
}

void WatchedRepeater::reportConnection(bool connected) {
    m_metrics->up.store(connected, std::memory_order_relaxed);
    (connected ? m_metrics->connects : m_metrics->disconnects).fetch_add(1, std::memory_order_relaxed);
    if (!connected)
        m_metrics->alarmsKnown.store(false, std::memory_order_relaxed);
    if (connected && m_config.airLog)
        send(om::formatAirLogOn(m_fleet.localAddress, m_fleet.airPort));
}

void WatchedRepeater::attemptConnect() {
    m_lastAttempt = m_fleet.steadyNow();
    m_socket = Socket::tcp();
    sockaddr_in address{};
    // Option failures are ignored as on the window's reconnects: the link still works, only slower to notice
    // a power cut.
    if (m_socket.valid()) {
        enableLinkKeepAlive(m_socket);
        m_socket.setOption(IPPROTO_TCP, TCP_NODELAY, 1);
    }
    if (!m_socket.valid() || !m_socket.setNonBlocking(true) ||
        !makeIPv4Address(m_config.address, OmLink::serverPort, address)) {
        closeSocket();
        retryLater();
        return;
    }
    const int result = ::connect(m_socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (result != 0 && errno != EINPROGRESS) {
        closeSocket();
        retryLater();
        return;
    }
    m_token =
        m_fleet.poller.add(m_socket.fd(), EPOLLOUT, [this](std::uint32_t events) { onLinkEvents(events); });
    if (m_token == 0) {
        closeSocket();
        retryLater();
        return;
    }
    m_state = LinkState::Connecting;
    m_fleet.timers.start(key(kConnectTimeoutTimer), m_lastAttempt + OmLink::kConnectTimeout);
}

void WatchedRepeater::onLinkEvents(std::uint32_t events) {
    if (m_state == LinkState::Connected) {
        readLink();
        return;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if ((events & (EPOLLERR | EPOLLHUP)) != 0 ||
        ::getsockopt(m_socket.fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
        m_fleet.timers.stop(key(kConnectTimeoutTimer));
        closeSocket();
        retryLater();
        return;
    }
    linkUp();
}

void WatchedRepeater::linkUp() {
    m_fleet.timers.stop(key(kConnectTimeoutTimer));
    m_fleet.poller.modify(m_token, m_socket.fd(), EPOLLIN | EPOLLRDHUP);
    m_state = LinkState::Connected;
    m_rules.onConnected();
    if (m_relay)
        m_relay->onLinkUp();
}

void WatchedRepeater::readLink() {
    std::array<char, kReceiveChunkBytes> buffer{};
    for (int chunk = 0; chunk < kChunksPerWake; ++chunk) {
        const ssize_t received = ::recv(m_socket.fd(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (received > 0) {
            const std::string_view text(buffer.data(), static_cast<std::size_t>(received));
            m_rules.onOmData(text);
            if (m_relay)
                m_relay->onRepeaterBytes(text);
            if (parseAlarmReport(text))
                syncAlarmMetrics();
            continue;
        }
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        linkLost(); // closed by the repeater, reset, shut down after a failed send, or given up by keep-alive
        return;
    }
}

void WatchedRepeater::linkLost() {
    closeSocket();
    if (m_relay)
        m_relay->onLinkDown();
    m_rules.onDisconnected();
    retryLater();
}

void WatchedRepeater::retryLater() {
    // At least the window's pause after the previous attempt began, plus the jitter.
    const auto now = m_fleet.steadyNow();
    const auto earliest = std::max(now, m_lastAttempt + OmLink::kRetryPause);
    std::uniform_int_distribution<int> spread(0, static_cast<int>(kRetryJitter.count()) - 1);
    m_fleet.timers.start(key(kConnectAttemptTimer),
                         earliest + std::chrono::milliseconds(spread(m_fleet.random)));
}

void WatchedRepeater::closeSocket() {
    if (m_token != 0)
        m_fleet.poller.remove(m_token, m_socket.fd());
    m_token = 0;
    m_socket.close();
    m_state = LinkState::Waiting;
}

bool WatchedRepeater::send(std::string_view text) {
    return m_state == LinkState::Connected &&
           m_socket.send(text.data(), text.size(), MSG_DONTWAIT) == static_cast<ssize_t>(text.size());
}

void WatchedRepeater::sendCheckingLink(std::string_view text) {
    // As the window's link: a failed check shuts the socket down, and its reading sees the loss.
    if (m_state == LinkState::Connected && !send(text))
        m_socket.shutdownBoth();
}

RelayHooks WatchedRepeater::relayHooks() {
    return {[this](std::string_view text) { return send(text); },
            [this](std::string_view line) {
                reportEvent(line);
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

void WatchedRepeater::syncAlarmMetrics() {
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

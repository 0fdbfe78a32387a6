// A fleet member's sockets and commands: what RepeaterEmulator does for one repeater, with the fleet's thread
// and epoll set in place of its own. DSP log lines are left out: a fleet is for watching, not for the menus.
#include "emulator/fleet_member.h"

#include <cerrno>
#include <cstring>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include "emulator/command_table.h"
#include "emulator/text_format.h"

namespace tavrel::emulator {
namespace {

constexpr int kListenBacklog = 4;
constexpr std::size_t kReadBytes = 4096;

void earliest(std::optional<FleetMember::Clock::time_point>& best, FleetMember::Clock::time_point when) {
    if (!best || when < *best)
        best = when;
}

} // namespace

FleetMember::FleetMember(int index, EmulatorOptions options, int epollFd)
    : m_index(index), m_options(std::move(options)), m_epollFd(epollFd), m_model(m_options.seed + index),
      m_airGenerator(m_options.seed + index) {}

bool FleetMember::start(Clock::time_point now) {
    m_udp = Socket::udp();
    sockaddr_in own{};
    if (!m_udp.valid() || !makeIPv4Address(m_options.address, 0, own) ||
        ::bind(m_udp.fd(), reinterpret_cast<const sockaddr*>(&own), sizeof own) != 0) {
        m_error = textf("cannot send from %s: %s", m_options.address.c_str(), std::strerror(errno));
        return false;
    }
    m_model.setExternalAlarmBits(m_options.alarmBits);
    switchOn(now);
    return m_listener.valid();
}

void FleetMember::switchOff() {
    m_listener.close();
    closeConnection();
    m_model.reboot(); // destinations forgotten
    m_rebootUntil.reset();
    for (RatePacer* pacer : {&m_statusPacer, &m_numberedLinePacer, &m_airPacer})
        pacer->stop();
    m_poweredOn = false;
}

void FleetMember::switchOn(Clock::time_point now) {
    if (m_poweredOn)
        return;
    m_poweredOn = true;
    m_bootTime = now;
    if (!m_options.quiet)
        m_statusPacer.start(1.0, now);
    openListener();
}

void FleetMember::reboot(Clock::time_point now) {
    if (!m_poweredOn)
        return;
    switchOff();
    m_poweredOn = true; // still powered: only the port and the logs pause
    m_rebootUntil = now + m_options.rebootTime;
    m_bootTime = *m_rebootUntil;
}

bool FleetMember::openListener() {
    Socket listener = Socket::tcp();
    sockaddr_in address{};
    const bool ready =
        listener.valid() && makeIPv4Address(m_options.address, kOmPort, address) &&
        listener.setOption(SOL_SOCKET, SO_REUSEADDR, 1) && listener.setNonBlocking(true) &&
        ::bind(listener.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listener.fd(), kListenBacklog) == 0;
    if (!ready) {
        m_error =
            textf("cannot listen on %s:%u: %s", m_options.address.c_str(), kOmPort, std::strerror(errno));
        return false;
    }
    m_listener = std::move(listener);
    watch(m_listener.fd(), kListenerTag);
    return true;
}

void FleetMember::watch(int fd, std::uint64_t tag) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = static_cast<std::uint64_t>(m_index) * 2 + tag;
    ::epoll_ctl(m_epollFd, EPOLL_CTL_ADD, fd, &event);
}

void FleetMember::closeConnection() {
    // Closing the descriptor takes it out of the epoll set too.
    m_connection.close();
    m_splitter.reset();
}

void FleetMember::onListenerReady(Clock::time_point now) {
    Socket accepted(::accept4(m_listener.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!accepted.valid())
        return;
    // A new connection replaces the current one, as RepeaterEmulator's does.
    closeConnection();
    accepted.setOption(IPPROTO_TCP, TCP_NODELAY, 1);
    m_connection = std::move(accepted);
    watch(m_connection.fd(), kConnectionTag);
    ++m_connectionCount;
    m_lastAccept = now;
}

void FleetMember::onConnectionReady(Clock::time_point now) {
    char buffer[kReadBytes];
    const ssize_t received = ::recv(m_connection.fd(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (received <= 0) {
        if (auto text = m_splitter.flush())
            handleCommand(*text, now);
        closeConnection();
        return;
    }
    m_lastRead = now;
    for (const auto& text : m_splitter.feed(std::string_view(buffer, static_cast<std::size_t>(received)))) {
        handleCommand(text, now);
        if (!m_connection.valid())
            break; // rebooted by the command
    }
}

void FleetMember::handleCommand(const std::string& text, Clock::time_point now) {
    ++m_commandsReceived;
    const Command command = parseCommand(text);
    const std::string logText = m_model.apply(command, text, uptime(now));
    switch (command.kind) {
    case CommandKind::AlarmQuery:
        m_connection.send(textf("ALARMSTATE:%d", m_model.alarmBits()));
        break;
    case CommandKind::SetLogDestination:
        m_numberedLinePacer.switchTo(m_model.logDestination().has_value(), m_options.logLinesPerSecond, now);
        break;
    case CommandKind::AirLogOn:
    case CommandKind::AirLogOff:
        m_airPacer.switchTo(m_model.airDestination().has_value(), m_options.airRecordsPerSecond, now);
        break;
    default:
        break;
    }
    sendLog(logText);
    if (command.kind == CommandKind::Reboot)
        reboot(now);
}

std::optional<FleetMember::Clock::time_point> FleetMember::runTimers(Clock::time_point now) {
    if (m_rebootUntil && now >= *m_rebootUntil) {
        m_rebootUntil.reset();
        m_poweredOn = false;
        switchOn(now);
    }
    if (m_splitter.hasPending() && now >= m_lastRead + CommandSplitter::kQuietGap)
        if (auto text = m_splitter.flush())
            handleCommand(*text, now);

    const bool logging = m_model.logDestination().has_value();
    if (m_statusPacer.takeDue(now) > 0 && logging)
        sendLog(m_model.statusLine(uptime(now)));
    for (auto due = m_numberedLinePacer.takeDue(now); due > 0 && logging; --due) {
        ++m_numberedLines;
        sendLog(numberedLine(m_numberedLines, m_options.logLineBytes));
    }
    for (auto due = m_airPacer.takeDue(now); due > 0 && m_model.airDestination(); --due) {
        const auto record = m_airGenerator.next(m_options.airRecordBytes);
        sendDatagram(m_model.airDestination(), record.data(), record.size());
    }

    std::optional<Clock::time_point> next = m_rebootUntil;
    if (m_splitter.hasPending())
        earliest(next, m_lastRead + CommandSplitter::kQuietGap);
    if (logging)
        for (const RatePacer* pacer : {&m_statusPacer, &m_numberedLinePacer})
            if (pacer->active())
                earliest(next, pacer->nextDue());
    if (m_model.airDestination() && m_airPacer.active())
        earliest(next, m_airPacer.nextDue());
    return next;
}

bool FleetMember::sendLog(std::string_view text) {
    return sendDatagram(m_model.logDestination(), text.data(), text.size());
}

bool FleetMember::sendDatagram(const std::optional<Endpoint>& destination, const void* data,
                               std::size_t size) {
    sockaddr_in address{};
    if (!destination || !makeIPv4Address(destination->address, destination->port, address))
        return false;
    return ::sendto(m_udp.fd(), data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address),
                    sizeof address) == static_cast<ssize_t>(size);
}

std::chrono::seconds FleetMember::uptime(Clock::time_point now) const {
    return now > m_bootTime ? std::chrono::duration_cast<std::chrono::seconds>(now - m_bootTime)
                            : std::chrono::seconds(0);
}

} // namespace tavrel::emulator

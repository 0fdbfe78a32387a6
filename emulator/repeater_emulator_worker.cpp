// The emulator's worker: one poll loop over the O&M port, the connection and the timed log and air sends.
#include "emulator/repeater_emulator.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include "emulator/text_format.h"

namespace tavrel::emulator {
namespace {

constexpr std::chrono::milliseconds kListenRetry{500};
constexpr int kListenBacklog = 4;
constexpr std::size_t kReadBytes = 4096;

std::string peerText(const sockaddr_in& peer) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return textf("%s:%u", text, ntohs(peer.sin_port));
}

void earliest(std::optional<RepeaterEmulator::Clock::time_point>& best,
              RepeaterEmulator::Clock::time_point when) {
    if (!best || when < *best)
        best = when;
}

} // namespace

void RepeaterEmulator::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopRequested) {
        auto now = Clock::now();
        handleRequests(now);
        runTimers(now);

        pollfd fds[3] = {
            {m_wake.fd(), POLLIN, 0}, {m_connection.fd(), POLLIN, 0}, {m_listener.fd(), POLLIN, 0}};
        timespec timeout{};
        const auto deadline = nextDeadline();
        if (deadline) {
            const auto wait = std::max(Clock::duration::zero(), *deadline - now);
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
            timeout.tv_sec = seconds.count();
            timeout.tv_nsec = std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds).count();
        }
        lock.unlock();
        // Descriptors of -1 are skipped by poll; only this thread opens or closes the other two.
        ::ppoll(fds, 3, deadline ? &timeout : nullptr, nullptr);
        lock.lock();

        if (fds[0].revents != 0)
            m_wake.reset();
        now = Clock::now();
        // The connection first: accepting may replace it, and the old one's readiness must not be applied
        // to the new one.
        if (fds[1].revents != 0 && m_connection.valid())
            readConnection(now);
        if (fds[2].revents != 0 && m_listener.valid())
            acceptConnection(now);
    }
    closeConnection("emulator stopped");
    m_listener.close();
    m_listening = false;
    m_workerRunning = false;
    m_changed.notify_all();
}

void RepeaterEmulator::handleRequests(Clock::time_point now) {
    if (m_dropRequested && m_connection.valid())
        closeConnection("connection dropped on request");
    if (m_rebootRequested)
        beginReboot(now);
    m_dropRequested = false;
    m_rebootRequested = false;
    if (m_handledSerial != m_requestSerial) {
        m_handledSerial = m_requestSerial;
        m_changed.notify_all();
    }
}

void RepeaterEmulator::runTimers(Clock::time_point now) {
    if (m_rebootUntil && now >= *m_rebootUntil) {
        m_rebootUntil.reset();
        say("reboot finished");
        if (!m_options.refuse)
            m_listenRetryAt = now;
    }
    if (m_listenRetryAt && now >= *m_listenRetryAt) {
        m_listenRetryAt.reset();
        if (!openListener())
            m_listenRetryAt = now + kListenRetry;
    }
    if (m_dropAt && now >= *m_dropAt) {
        m_dropAt.reset();
        closeConnection("connection dropped after the --drop-after time");
    }
    if (m_splitter.hasPending() && now >= m_lastRead + CommandSplitter::kQuietGap)
        if (auto text = m_splitter.flush())
            handleCommandText(*text, now);
    applyScriptStep(now);

    const bool logging = m_model.logDestination().has_value();
    if (m_statusPacer.takeDue(now) > 0 && logging)
        sendLogText(m_model.statusLine(uptime(now)));
    if (m_dspLogPacer.takeDue(now) > 0 && logging)
        sendLogText(m_model.dspLogLine());
    if (m_dspLinkLogPacer.takeDue(now) > 0 && logging)
        sendLogText(m_model.dspLinkLogLine());
    for (auto due = m_numberedLinePacer.takeDue(now); due > 0 && logging; --due)
        sendLogText(numberedLine(++m_numberedLines, m_options.logLineBytes));
    for (auto due = m_airPacer.takeDue(now); due > 0 && m_model.airDestination(); --due)
        sendAirRecordLocked();
}

std::optional<RepeaterEmulator::Clock::time_point> RepeaterEmulator::nextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const auto& when : {m_rebootUntil, m_listenRetryAt, m_dropAt})
        if (when)
            earliest(next, *when);
    if (m_splitter.hasPending())
        earliest(next, m_lastRead + CommandSplitter::kQuietGap);
    if (m_nextScriptStep)
        earliest(next, m_startTime + *m_nextScriptStep);
    // Log timers matter only while there is somewhere to send to; an idle repeater sleeps.
    if (m_model.logDestination())
        for (const auto* pacer : {&m_statusPacer, &m_dspLogPacer, &m_dspLinkLogPacer, &m_numberedLinePacer})
            if (pacer->active())
                earliest(next, pacer->nextDue());
    if (m_model.airDestination() && m_airPacer.active())
        earliest(next, m_airPacer.nextDue());
    return next;
}

bool RepeaterEmulator::openListener() {
    Socket listener = Socket::tcp();
    sockaddr_in address{};
    if (!makeIPv4Address(m_options.address, kOmPort, address)) {
        say("not an IPv4 address: " + m_options.address);
        return false;
    }
    // Address reuse lets the port open again at once after a reboot, despite connections in TIME_WAIT.
    const bool ready =
        listener.valid() && listener.setOption(SOL_SOCKET, SO_REUSEADDR, 1) &&
        listener.setNonBlocking(true) &&
        ::bind(listener.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listener.fd(), kListenBacklog) == 0;
    if (!ready) {
        say(textf("cannot listen on %s:%u: %s", m_options.address.c_str(), kOmPort, std::strerror(errno)));
        return false;
    }
    m_listener = std::move(listener);
    m_listening = true;
    m_changed.notify_all();
    say(textf("listening on %s:%u", m_options.address.c_str(), kOmPort));
    return true;
}

void RepeaterEmulator::acceptConnection(Clock::time_point now) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    Socket accepted(
        ::accept4(m_listener.fd(), reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!accepted.valid())
        return;
    const std::string peerName = peerText(peer);
    if (m_connection.valid())
        closeConnection("replaced by a new connection from " + peerName);
    accepted.setOption(IPPROTO_TCP, TCP_NODELAY, 1);
    m_connection = std::move(accepted);
    m_peer = peerName;
    m_connected = true;
    ++m_connectionCount;
    m_splitter.reset();
    if (m_options.dropAfter)
        m_dropAt = now + *m_options.dropAfter;
    m_changed.notify_all();
    say("connection from " + m_peer);
}

void RepeaterEmulator::readConnection(Clock::time_point now) {
    char buffer[kReadBytes];
    const ssize_t received = ::recv(m_connection.fd(), buffer, sizeof buffer, 0);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (received <= 0) {
        const std::string why = received == 0 ? "monitor closed the connection"
                                              : textf("connection error: %s", std::strerror(errno));
        if (auto text = m_splitter.flush())
            handleCommandText(*text, now);
        closeConnection(why);
        return;
    }
    m_lastRead = now;
    for (const auto& text : m_splitter.feed(std::string_view(buffer, static_cast<std::size_t>(received)))) {
        handleCommandText(text, now);
        if (!m_connection.valid())
            break; // a reboot closed the connection: the rest of the read is lost with it
    }
}

void RepeaterEmulator::closeConnection(std::string_view why) {
    if (!m_connection.valid())
        return;
    m_connection.shutdownBoth();
    m_connection.close();
    m_connected = false;
    m_dropAt.reset();
    m_splitter.reset();
    m_changed.notify_all();
    say(textf("%.*s (%s)", static_cast<int>(why.size()), why.data(), m_peer.c_str()));
}

void RepeaterEmulator::beginReboot(Clock::time_point now) {
    // The port closes before the connection, so a monitor that sees the close finds the port refusing.
    m_listener.close();
    m_listening = false;
    closeConnection("rebooting");
    m_listenRetryAt.reset();
    m_model.reboot();
    for (auto* pacer : {&m_dspLogPacer, &m_dspLinkLogPacer, &m_numberedLinePacer, &m_airPacer})
        pacer->stop();
    m_rebootUntil = now + m_options.rebootTime;
    m_bootTime = *m_rebootUntil;
    m_changed.notify_all();
    say(textf("rebooting: O&M port closed and log destinations forgotten for %lld ms",
              static_cast<long long>(m_options.rebootTime.count())));
}

void RepeaterEmulator::applyScriptStep(Clock::time_point now) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_startTime);
    bool changed = false;
    while (m_nextScriptStep && *m_nextScriptStep <= elapsed) {
        m_nextScriptStep = m_options.alarmScript.nextStepAfter(*m_nextScriptStep);
        changed = true;
    }
    if (!changed)
        return;
    const int bits = m_options.alarmScript.bitsAt(elapsed).value_or(m_model.externalAlarmBits());
    m_model.setExternalAlarmBits(bits);
    say(textf("alarm bits set to %d by the alarm script", bits));
}

std::chrono::seconds RepeaterEmulator::uptime(Clock::time_point now) const {
    return now > m_bootTime ? std::chrono::duration_cast<std::chrono::seconds>(now - m_bootTime)
                            : std::chrono::seconds(0);
}

} // namespace tavrel::emulator

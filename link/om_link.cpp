// The O&M connection task: connects, reconnects after every loss and hands each received chunk to the window.
#include "link/om_link.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <utility>

namespace tavrel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kQuitText = "O&M communication task quit";
constexpr std::size_t kAddressMaxChars = 15;

// A repeater that vanishes without closing is noticed within 30 s: an idle link is probed after 10 s,
// every 5 s, and given up after 3 unanswered probes; unacknowledged data (the 5 s heartbeat) after 20 s.
constexpr int kKeepIdleSeconds = 10;
constexpr int kKeepIntervalSeconds = 5;
constexpr int kKeepProbeCount = 3;
constexpr std::chrono::milliseconds kUserTimeout{20000};

bool disableCoalescing(const Socket& socket) {
    return socket.setOption(IPPROTO_TCP, TCP_NODELAY, 1);
}

enum class Wait { Ready, Woken, TimedOut, Failed };

// Waits until the descriptor (skipped when negative) shows the events, the wake-up descriptor is
// signalled, or the deadline passes (never, when it is nullopt).
Wait waitFor(int fd, short events, int wakeFd, std::optional<Clock::time_point> deadline) {
    for (;;) {
        int timeoutMs = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            timeoutMs =
                static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
        }
        std::array<pollfd, 2> fds{{{wakeFd, POLLIN, 0}, {fd, events, 0}}};
        const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Wait::Failed;
        if (fds[0].revents != 0)
            return Wait::Woken;
        if (ready == 0)
            return Wait::TimedOut;
        return Wait::Ready;
    }
}

} // namespace

bool enableLinkKeepAlive(const Socket& socket) {
    static_assert(kKeepIdleSeconds + kKeepIntervalSeconds * kKeepProbeCount < kLinkLossNoticedWithin.count());
    static_assert(kUserTimeout + std::chrono::seconds(5) < kLinkLossNoticedWithin); // + one heartbeat period
    return socket.setOption(SOL_SOCKET, SO_KEEPALIVE, 1) &&
           socket.setOption(IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleSeconds) &&
           socket.setOption(IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalSeconds) &&
           socket.setOption(IPPROTO_TCP, TCP_KEEPCNT, kKeepProbeCount) &&
           socket.setOption(IPPROTO_TCP, TCP_USER_TIMEOUT, static_cast<int>(kUserTimeout.count()));
}

Socket freshLinkSocket() {
    Socket socket = Socket::tcp();
    if (socket.valid()) {
        enableLinkKeepAlive(socket);
        disableCoalescing(socket);
    }
    return socket;
}

bool beginLinkConnect(const Socket& socket, std::string_view repeaterAddress, std::uint16_t port) {
    sockaddr_in address{};
    if (!socket.valid() || !socket.setNonBlocking(true) || !makeIPv4Address(repeaterAddress, port, address))
        return false;
    return ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
           errno == EINPROGRESS;
}

OmLink::OmLink(NotificationHub& hub) : m_hub(hub) {}

OmLink::~OmLink() {
    stopOmLink();
    join();
}

int OmLink::startOmLink(std::string_view repeaterAddress, std::uint16_t port) {
    if (m_started.load())
        return 1;
    m_serverAddress = std::string(repeaterAddress.substr(0, kAddressMaxChars));
    m_serverPort = port;
    // A failed start leaves the link unstarted: the window keeps running without it.
    Socket socket = Socket::tcp();
    if (!socket.valid() || !m_wake.valid())
        return -1;
    if (!enableLinkKeepAlive(socket))
        return -2;
    if (!disableCoalescing(socket))
        return -3;
    m_started = true;
    m_runFlag = true;
    m_task = std::thread([this, first = std::move(socket)]() mutable { run(std::move(first)); });
    return 0;
}

void OmLink::stopOmLink() {
    std::shared_ptr<Socket> socket;
    {
        std::lock_guard lock(m_socketMutex);
        m_runFlag = false;
        socket = std::exchange(m_socket, nullptr);
    }
    m_wake.signal();
    if (socket)
        socket->shutdownBoth();
}

void OmLink::join() {
    if (m_task.joinable() && m_task.get_id() != std::this_thread::get_id())
        m_task.join();
}

bool OmLink::send(std::string_view text) {
    const std::shared_ptr<Socket> socket = currentSocket();
    return socket &&
           socket->send(text.data(), text.size(), MSG_DONTWAIT) == static_cast<ssize_t>(text.size());
}

bool OmLink::sendCheckingLink(std::string_view text) {
    const std::shared_ptr<Socket> socket = currentSocket();
    if (!socket)
        return false;
    if (socket->send(text.data(), text.size(), MSG_DONTWAIT) == static_cast<ssize_t>(text.size()))
        return true;
    // Drop only the socket that failed: one the task has put in place since then stays.
    if (const std::shared_ptr<Socket> dropped = takeSocket(socket.get()))
        dropped->shutdownBoth();
    return false;
}

void OmLink::dropConnection() {
    if (const std::shared_ptr<Socket> socket = takeSocket())
        socket->shutdownBoth();
}

bool OmLink::hasSocket() const {
    return currentSocket() != nullptr;
}

void OmLink::run(Socket socket) {
    // The machine decides when to try and when to give an attempt up; this task carries it out blocking.
    m_hub.postStatusText(m_machine.start(Clock::now()));
    while (running()) {
        const std::optional<Clock::time_point> wake = m_machine.wakeAt();
        if (!wake || !pauseUntil(*wake))
            break;
        if (m_machine.onWake(Clock::now()) != LinkMachine::Action::Connect)
            continue;
        if (!socket.valid())
            socket = freshLinkSocket();
        const Attempt attempt = connectOnce(socket);
        if (attempt == Attempt::Stopped)
            break;
        if (attempt == Attempt::Failed) {
            m_machine.onConnectFailed(Clock::now());
            socket = freshLinkSocket(); // silently, and never reusing a socket whose connect failed
            continue;
        }

        m_machine.onConnectSucceeded();
        const auto connected = std::make_shared<Socket>(std::move(socket));
        if (!publish(connected))
            break;
        if (running())
            m_hub.notify(NotifyOmConnected, {});
        const Ending ending = receiveUntilLoss(connected);
        unpublish(connected);
        if (ending == Ending::Stopped || !running())
            break;
        m_machine.onLost(Clock::now());
        m_hub.notify(NotifyOmDisconnected, {});
        socket = freshLinkSocket();
    }
    m_machine.stop();
    m_hub.postStatusText(kQuitText);
}

bool OmLink::pauseUntil(Clock::time_point until) {
    while (running() && Clock::now() < until) {
        const Wait wait = waitFor(-1, 0, m_wake.fd(), until);
        if (wait == Wait::Woken)
            break;
        if (wait == Wait::Failed)
            std::this_thread::sleep_until(until); // poll itself failed: still never spin
    }
    return running();
}

OmLink::Attempt OmLink::connectOnce(const Socket& socket) {
    // Non-blocking, so that stop ends the wait at once on every kernel.
    if (!beginLinkConnect(socket, m_serverAddress, m_serverPort))
        return Attempt::Failed;

    // Until the machine gives the attempt up.
    const Wait wait = waitFor(socket.fd(), POLLOUT, m_wake.fd(), m_machine.wakeAt());
    if (wait == Wait::Woken || !running())
        return Attempt::Stopped;
    if (wait != Wait::Ready)
        return Attempt::Failed;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
        return Attempt::Failed;
    return Attempt::Connected;
}

std::shared_ptr<Socket> OmLink::currentSocket() const {
    std::lock_guard lock(m_socketMutex);
    return m_socket;
}

// Empties the slot when it holds the expected socket (any, when none is named) and returns what it held.
std::shared_ptr<Socket> OmLink::takeSocket(const Socket* expected) {
    std::lock_guard lock(m_socketMutex);
    if (expected && m_socket.get() != expected)
        return nullptr;
    return std::exchange(m_socket, nullptr);
}

bool OmLink::publish(const std::shared_ptr<Socket>& socket) {
    std::lock_guard lock(m_socketMutex);
    if (!running())
        return false;
    m_socket = socket;
    return true;
}

void OmLink::unpublish(const std::shared_ptr<Socket>& socket) {
    // The window thread may have dropped it already; then the slot is empty and stays so.
    takeSocket(socket.get());
    socket->shutdownBoth();
}

OmLink::Ending OmLink::receiveUntilLoss(const std::shared_ptr<Socket>& socket) {
    std::array<char, kLinkChunkBytes> buffer{};
    for (;;) {
        const Wait wait = waitFor(socket->fd(), POLLIN, m_wake.fd(), std::nullopt);
        if (wait == Wait::Woken || !running())
            return Ending::Stopped;
        if (wait == Wait::Failed || currentSocket() != socket)
            return Ending::Lost; // dropped by the window thread after a failed link-checking send, or no poll
        const ssize_t received = ::recv(socket->fd(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (received > 0) {
            Payload chunk(buffer.begin(), buffer.begin() + received);
            chunk.push_back('\0');
            if (running())
                m_hub.notify(NotifyOmData, std::move(chunk));
            continue;
        }
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        return Ending::Lost; // closed by the repeater, reset, or given up by keep-alive
    }
}

} // namespace tavrel

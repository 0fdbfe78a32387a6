// A fleet member's sockets: what the emulated repeater asks for, done on non-blocking descriptors in the
// loop's epoll set, and what arrives on them handed back to it.
#include "emulator/fleet_member.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include "emulator/text_format.h"

namespace tavrel::emulator {
namespace {

constexpr int kListenBacklog = 4;
constexpr std::size_t kReadBytes = 4096;

std::string peerText(const sockaddr_in& peer) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return textf("%s:%u", text, ntohs(peer.sin_port));
}

} // namespace

FleetMember::FleetMember(int index, EmulatorOptions options, EventPoller& poller, MemberHost& host,
                         bool keepCommands)
    : m_index(index), m_options(options), m_poller(poller), m_host(host), m_keepCommands(keepCommands),
      m_repeater(std::move(options), *this, static_cast<std::uint32_t>(index)) {}

FleetMember::~FleetMember() {
    unwatch(m_connectionToken, m_connection);
    unwatch(m_listenerToken, m_listener);
}

bool FleetMember::start(Clock::time_point now) {
    m_udp = Socket::udp();
    if (!m_udp.valid()) {
        m_error = textf("cannot create the UDP log socket: %s", std::strerror(errno));
        say(m_error);
        return false;
    }
    // Without a local address to send from (a typing error is reported by the listener) the system picks one.
    sockaddr_in own{};
    if (makeIPv4Address(m_options.address, 0, own))
        ::bind(m_udp.fd(), reinterpret_cast<const sockaddr*>(&own), sizeof own);
    if (m_repeater.powerOn(now))
        return true;
    if (m_error.empty())
        m_error = "cannot start the repeater on " + m_options.address;
    return false;
}

std::string FleetMember::listen() {
    sockaddr_in address{};
    if (!makeIPv4Address(m_options.address, kOmPort, address))
        return m_error = "not an IPv4 address: " + m_options.address;
    Socket listener = Socket::tcp();
    // Address reuse lets the port open again at once after a reboot, despite connections in TIME_WAIT.
    const bool ready =
        listener.valid() && listener.setOption(SOL_SOCKET, SO_REUSEADDR, 1) &&
        listener.setNonBlocking(true) &&
        ::bind(listener.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listener.fd(), kListenBacklog) == 0;
    if (!ready)
        return m_error = textf("cannot listen on %s:%u: %s", m_options.address.c_str(), kOmPort,
                               std::strerror(errno));
    m_listener = std::move(listener);
    m_listenerToken = m_poller.add(m_listener.fd(), EPOLLIN, [this](std::uint32_t) { onListenerReady(); });
    return {};
}

void FleetMember::stopListening() {
    unwatch(m_listenerToken, m_listener);
    m_listener.close();
}

bool FleetMember::reply(std::string_view text) {
    return m_connection.send(text) == static_cast<ssize_t>(text.size());
}

void FleetMember::closeConnection() {
    unwatch(m_connectionToken, m_connection);
    m_connection.shutdownBoth();
    m_connection.close();
}

bool FleetMember::sendDatagram(const Endpoint& destination, std::span<const std::uint8_t> bytes) {
    sockaddr_in address{};
    if (!makeIPv4Address(destination.address, destination.port, address))
        return false;
    return ::sendto(m_udp.fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                    reinterpret_cast<const sockaddr*>(&address),
                    sizeof address) == static_cast<ssize_t>(bytes.size());
}

void FleetMember::received(const std::string& text) {
    if (!m_keepCommands)
        return;
    if (m_received.size() >= kMaxKeptCommands)
        m_received.erase(m_received.begin(), m_received.begin() + kMaxKeptCommands / 2);
    m_received.push_back(text);
}

void FleetMember::say(std::string_view text) {
    if (m_options.console)
        m_options.console(stampedLine(text));
}

void FleetMember::onListenerReady() {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    Socket accepted(
        ::accept4(m_listener.fd(), reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!accepted.valid())
        return;
    accepted.setOption(IPPROTO_TCP, TCP_NODELAY, 1);
    // The repeater closes the current connection first (through closeConnection()); then the new one is ours.
    m_repeater.onAccepted(peerText(peer), m_host.now());
    m_connection = std::move(accepted);
    m_connectionToken =
        m_poller.add(m_connection.fd(), EPOLLIN, [this](std::uint32_t) { onConnectionReady(); });
    m_host.accepted(*this);
    m_host.changed(*this);
}

void FleetMember::onConnectionReady() {
    char buffer[kReadBytes];
    const ssize_t received = ::recv(m_connection.fd(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (received <= 0)
        m_repeater.onConnectionLost(received == 0 ? "monitor closed the connection"
                                                  : textf("connection error: %s", std::strerror(errno)),
                                    m_host.now());
    else
        m_repeater.onReceived(std::string_view(buffer, static_cast<std::size_t>(received)), m_host.now());
    m_host.changed(*this);
}

void FleetMember::unwatch(EventPoller::Token& token, const Socket& socket) {
    if (token != 0)
        m_poller.remove(token, socket.fd());
    token = 0;
}

} // namespace tavrel::emulator

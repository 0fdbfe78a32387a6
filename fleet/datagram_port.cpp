// Binding, a large receive buffer, and draining the queued datagrams in batches.
#include "fleet/datagram_port.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/epoll.h>
#include <sys/socket.h>

namespace tavrel {
namespace {

// Room for bursts of a whole fleet (20,000 lines/s) while the loop files what came before; as root the
// system's limit is passed, otherwise the kernel gives what it allows.
constexpr int kReceiveBufferBytes = 16 * 1024 * 1024;
// Datagrams taken per wake-up, so the other port and the links get their turn.
constexpr int kDatagramsPerWake = 256;

} // namespace

std::string dottedAddress(std::uint32_t address) {
    const in_addr in{htonl(address)};
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &in, text, sizeof text);
    return text;
}

DatagramPort::DatagramPort(EventPoller& poller, std::size_t largest, Handler handler)
    : m_poller(poller), m_handler(std::move(handler)), m_buffer(largest + 1) {}

DatagramPort::~DatagramPort() {
    if (m_token != 0)
        m_poller.remove(m_token, m_socket.fd());
}

std::string DatagramPort::open(const std::string& address, std::uint16_t port, std::string_view role) {
    const std::string where = std::string(role) + " " + std::to_string(port) + " on " + address;
    Socket socket = Socket::udp();
    if (!socket.valid())
        return "cannot open the " + where + ": " + std::strerror(errno);
    if (!socket.setOption(SOL_SOCKET, SO_RCVBUFFORCE, kReceiveBufferBytes))
        socket.setOption(SOL_SOCKET, SO_RCVBUF, kReceiveBufferBytes);
    const std::uint16_t bound = bindToPort(socket, address, port);
    if (bound == 0) {
        const int error = errno;
        return error == EADDRINUSE ? "the " + where + " is already in use"
                                   : "cannot bind the " + where + ": " + std::strerror(error);
    }
    socket.setNonBlocking(true);
    m_token = m_poller.add(socket.fd(), EPOLLIN, [this](std::uint32_t) { drain(); });
    if (m_token == 0)
        return "cannot watch the " + where + ": " + std::strerror(errno);
    m_port = bound;
    m_socket = std::move(socket);
    return {};
}

void DatagramPort::drain() {
    for (int i = 0; i < kDatagramsPerWake; ++i) {
        sockaddr_in sender{};
        socklen_t senderSize = sizeof sender;
        // MSG_TRUNC reports a longer datagram's full length, so one cut short by the buffer is seen and
        // dropped.
        const ssize_t length =
            ::recvfrom(m_socket.fd(), m_buffer.data(), m_buffer.size() - 1, MSG_DONTWAIT | MSG_TRUNC,
                       reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            return; // nothing queued any more
        }
        const auto size = static_cast<std::size_t>(length);
        if (size == 0 || size > m_buffer.size() - 1)
            continue;
        m_handler(ntohl(sender.sin_addr.s_addr), std::span<const char>(m_buffer.data(), size));
    }
}

} // namespace tavrel

// The monitor's side of the wire for emulator tests: a TCP client and UDP receivers on loopback addresses.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include <arpa/inet.h>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

#include "platform/socket.h"

namespace tavrel::emulator::test {

using namespace std::chrono_literals;

inline bool waitReadable(int fd, std::chrono::milliseconds timeout) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(timeout.count())) == 1;
}

// A UDP socket bound to address:any-free-port, as the monitor's receivers are.
class UdpReceiver {
public:
    explicit UdpReceiver(const char* address) : m_socket(Socket::udp()) {
        m_port = bindToFreePort(m_socket, address);
        m_socket.setOption(SOL_SOCKET, SO_RCVBUF, 1 << 20);
    }

    std::uint16_t port() const { return m_port; }

    // One whole datagram, or nothing after the time-out.
    std::optional<std::string> receive(std::chrono::milliseconds timeout = 2s) {
        if (!waitReadable(m_socket.fd(), timeout))
            return std::nullopt;
        std::string datagram(65536, '\0');
        const auto size = ::recv(m_socket.fd(), datagram.data(), datagram.size(), 0);
        if (size < 0)
            return std::nullopt;
        datagram.resize(static_cast<std::size_t>(size));
        return datagram;
    }

    // The first datagram that starts with `head`, skipping others (status lines come in between).
    std::optional<std::string> receiveStartingWith(const std::string& head,
                                                   std::chrono::milliseconds timeout = 3s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            auto datagram = receive(std::max(left, 1ms));
            if (datagram && datagram->starts_with(head))
                return datagram;
        }
        return std::nullopt;
    }

    // Reads and throws away what has arrived so far.
    void drain() {
        while (receive(0ms)) {
        }
    }

private:
    Socket m_socket;
    std::uint16_t m_port = 0;
};

// A connection to address:2301; invalid with errno set when refused.
inline Socket connectOm(const char* address) {
    Socket socket = Socket::tcp();
    sockaddr_in remote{};
    makeIPv4Address(address, 2301, remote);
    if (::connect(socket.fd(), reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        const int error = errno;
        socket.close();
        errno = error;
    }
    return socket;
}

// What the peer sent within the time-out: empty on time-out; nothing when the peer closed the connection.
inline std::optional<std::string> receiveTcp(const Socket& socket, std::chrono::milliseconds timeout = 2s) {
    if (!waitReadable(socket.fd(), timeout))
        return std::string();
    char buffer[256];
    const auto size = ::recv(socket.fd(), buffer, sizeof buffer, 0);
    if (size <= 0)
        return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(size));
}

} // namespace tavrel::emulator::test

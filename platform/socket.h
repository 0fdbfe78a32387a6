// RAII owner of one IPv4 socket descriptor: create, options, send without SIGPIPE, shutdown, close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <netinet/in.h>
#include <sys/types.h>

namespace tavrel {

class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) noexcept : m_fd(fd) {}
    ~Socket() { close(); }

    Socket(Socket&& other) noexcept : m_fd(other.release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Both return an invalid socket on failure; errno tells why.
    static Socket tcp();
    static Socket udp();

    bool valid() const noexcept { return m_fd >= 0; }
    int fd() const noexcept { return m_fd; }
    int release() noexcept;

    bool setOption(int level, int name, int value) const noexcept;
    bool setNonBlocking(bool on) const noexcept;

    // One send call with MSG_NOSIGNAL, so a closed peer gives EPIPE instead of killing the process.
    ssize_t send(const void* data, std::size_t size, int flags = 0) const noexcept;
    ssize_t send(std::string_view text) const noexcept { return send(text.data(), text.size()); }

    void shutdownBoth() const noexcept;
    void close() noexcept;

private:
    int m_fd = -1;
};

// Fills an IPv4 socket address from dotted text; false when the text is not an IPv4 address.
bool makeIPv4Address(std::string_view dotted, std::uint16_t port, sockaddr_in& out);

// Binds the socket to the IPv4 address and port (0: one the system picks); the port it is bound to, or 0
// when it could not bind (errno tells why: EINVAL for text that is no IPv4 address).
std::uint16_t bindToPort(const Socket& socket, std::string_view dotted, std::uint16_t port);
inline std::uint16_t bindToFreePort(const Socket& socket, std::string_view dotted) {
    return bindToPort(socket, dotted, 0);
}

// The calling thread's last system error code (errno).
int lastSystemError() noexcept;

} // namespace tavrel

#include "platform/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavrel {

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.release();
    }
    return *this;
}

Socket Socket::tcp() {
    return Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
}

Socket Socket::udp() {
    return Socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
}

int Socket::release() noexcept {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool Socket::setOption(int level, int name, int value) const noexcept {
    return ::setsockopt(m_fd, level, name, &value, sizeof value) == 0;
}

bool Socket::setNonBlocking(bool on) const noexcept {
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags < 0)
        return false;
    return ::fcntl(m_fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

ssize_t Socket::send(const void* data, std::size_t size, int flags) const noexcept {
    if (m_fd < 0) {
        errno = EBADF;
        return -1;
    }
    return ::send(m_fd, data, size, flags | MSG_NOSIGNAL);
}

void Socket::shutdownBoth() const noexcept {
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

void Socket::close() noexcept {
    if (m_fd >= 0) {
        const int saved = errno;
        ::close(m_fd);
        errno = saved;
        m_fd = -1;
    }
}

bool makeIPv4Address(std::string_view dotted, std::uint16_t port, sockaddr_in& out) {
    char text[INET_ADDRSTRLEN] = {};
    if (dotted.empty() || dotted.size() >= sizeof text)
        return false;
    std::memcpy(text, dotted.data(), dotted.size());
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    return ::inet_pton(AF_INET, text, &out.sin_addr) == 1;
}

std::uint16_t bindToPort(const Socket& socket, std::string_view dotted, std::uint16_t port) {
    sockaddr_in local{};
    if (!makeIPv4Address(dotted, port, local)) {
        errno = EINVAL;
        return 0;
    }
    if (::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return 0;
    socklen_t size = sizeof local;
    if (::getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return 0;
    return ntohs(local.sin_port);
}

int lastSystemError() noexcept {
    return errno;
}

} // namespace tavrel

// Owns one descriptor that is not a socket (epoll, signalfd), closed with its owner.
#pragma once

#include <unistd.h>
#include <utility>

namespace tavrel {

class ScopedFd {
public:
    ScopedFd() = default;
    explicit ScopedFd(int fd) : m_fd(fd) {}
    ~ScopedFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ScopedFd(ScopedFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    ScopedFd& operator=(ScopedFd&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;

    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

} // namespace tavrel

#include "platform/named_lock.h"

#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tavrel {

std::optional<NamedLock> NamedLock::tryCreate(std::string_view name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // sun_path[0] stays NUL: the abstract namespace.
    if (name.size() + 1 > sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path + 1, name.data(), name.size());

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return NamedLock(fd);
}

NamedLock& NamedLock::operator=(NamedLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

NamedLock::~NamedLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<InstanceSlotClaim> claimInstanceSlot(std::string_view prefix, int count) {
    for (int slot = 0; slot < count; ++slot) {
        auto lock = NamedLock::tryCreate(std::string(prefix) + std::to_string(slot));
        if (lock)
            return InstanceSlotClaim{slot, std::move(*lock)};
    }
    return std::nullopt;
}

} // namespace tavrel

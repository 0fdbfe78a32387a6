#include "platform/wake_event.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tavrel {

WakeEvent::WakeEvent() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeEvent::~WakeEvent() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void WakeEvent::signal() noexcept {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(m_fd, &one, sizeof one);
}

void WakeEvent::reset() noexcept {
    std::uint64_t value = 0;
    [[maybe_unused]] const auto read = ::read(m_fd, &value, sizeof value);
}

} // namespace tavrel

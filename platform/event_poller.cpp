// epoll_ctl for watching, and a non-waiting epoll_wait that hands each ready descriptor to its handler.
#include "platform/event_poller.h"

#include <array>
#include <sys/epoll.h>

namespace tavrel {
namespace {

constexpr int kBatch = 256;

} // namespace

EventPoller::EventPoller() : m_epoll(::epoll_create1(EPOLL_CLOEXEC)) {}

EventPoller::Token EventPoller::add(int fd, std::uint32_t events, Handler handler) {
    const Token token = m_next++;
    epoll_event event{};
    event.events = events;
    event.data.u64 = token;
    if (::epoll_ctl(m_epoll.fd(), EPOLL_CTL_ADD, fd, &event) != 0)
        return 0;
    m_handlers.emplace(token, std::move(handler));
    return token;
}

bool EventPoller::modify(Token token, int fd, std::uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = token;
    return ::epoll_ctl(m_epoll.fd(), EPOLL_CTL_MOD, fd, &event) == 0;
}

void EventPoller::remove(Token token, int fd) {
    if (m_handlers.erase(token) > 0)
        ::epoll_ctl(m_epoll.fd(), EPOLL_CTL_DEL, fd, nullptr);
}

int EventPoller::dispatch() {
    std::array<epoll_event, kBatch> events{};
    const int ready = ::epoll_wait(m_epoll.fd(), events.data(), kBatch, 0);
    for (int i = 0; i < ready; ++i) {
        // Looked up afresh each time: an earlier handler of this batch may have removed this one.
        const auto it = m_handlers.find(events[static_cast<std::size_t>(i)].data.u64);
        if (it == m_handlers.end())
            continue;
        // A copy, so the handler may remove itself while it runs.
        const Handler handler = it->second;
        handler(events[static_cast<std::size_t>(i)].events);
    }
    return ready > 0 ? ready : 0;
}

} // namespace tavrel

// One epoll set of many descriptors that the event loop watches through its single descriptor, so the cost of
// a wake-up does not grow with the number of watched repeaters.
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>

#include "platform/scoped_fd.h"

namespace tavrel {

class EventPoller {
public:
    // Called with the epoll events (EPOLLIN, EPOLLOUT, EPOLLERR, EPOLLHUP...) of its descriptor.
    using Handler = std::function<void(std::uint32_t events)>;
    using Token = std::uint64_t;

    EventPoller();

    bool valid() const { return m_epoll.valid(); }
    // The descriptor that becomes readable while any watched descriptor is ready.
    int fd() const { return m_epoll.fd(); }

    // Watches the descriptor; 0 when epoll refuses it (errno tells why).
    Token add(int fd, std::uint32_t events, Handler handler);
    bool modify(Token token, int fd, std::uint32_t events);
    // Stops watching; a handler may remove its own or another's descriptor, even within one dispatch.
    void remove(Token token, int fd);

    // Calls the handler of each ready descriptor (at most a batch's worth) without waiting; returns how many.
    int dispatch();
    std::size_t size() const { return m_handlers.size(); }

private:
    ScopedFd m_epoll;
    std::unordered_map<Token, Handler> m_handlers;
    Token m_next = 1;
};

} // namespace tavrel

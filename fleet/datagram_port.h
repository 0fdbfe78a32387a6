// One UDP port of the whole fleet (the log port or the air port): bound once, watched by the fleet's poller,
// each datagram handed on with its sender's address so the fleet can tell repeaters apart.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/event_poller.h"
#include "platform/socket.h"

namespace tavrel {

class DatagramPort {
public:
    // The sender's IPv4 address in host order, and the datagram.
    using Handler = std::function<void(std::uint32_t sender, std::span<const char> bytes)>;

    // Datagrams that are empty or longer than `largest` are dropped, as the window's receivers drop them.
    DatagramPort(EventPoller& poller, std::size_t largest, Handler handler);
    ~DatagramPort();
    DatagramPort(const DatagramPort&) = delete;
    DatagramPort& operator=(const DatagramPort&) = delete;

    // Binds address:port and starts watching; a message naming the port and why when that fails.
    std::string open(const std::string& address, std::uint16_t port, std::string_view role);
    std::uint16_t port() const { return m_port; }

private:
    void drain();

    EventPoller& m_poller;
    Handler m_handler;
    std::vector<char> m_buffer;
    Socket m_socket;
    EventPoller::Token m_token = 0;
    std::uint16_t m_port = 0;
};

// The dotted text of an address in host order.
std::string dottedAddress(std::uint32_t address);

} // namespace tavrel

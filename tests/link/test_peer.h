// A small repeater stand-in for link tests: listens on address:2301, accepts, reads, sends, closes, reboots.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace tavrel::test {

using namespace std::chrono_literals;

class TestPeer {
public:
    static constexpr std::uint16_t kPort = 2301;

    // Starts listening at once (SO_REUSEADDR, so a test can listen again after closing).
    explicit TestPeer(std::string address, int backlog = 8);

    bool listening() const { return m_listener.valid(); }
    bool listen(int backlog = 8);
    // Closes the listening socket: connection attempts are now refused.
    void stopListening() { m_listener.close(); }

    // Takes the next connection (replacing the current one); false when none arrives in time.
    bool accept(std::chrono::milliseconds timeout = 5s);
    bool connected() const { return m_connection.valid(); }

    // Reads until `size` bytes have arrived, the link closes or the time-out passes; returns what arrived.
    std::string read(std::size_t size, std::chrono::milliseconds timeout = 5s);
    // Reads everything that arrives until the link closes or the time-out passes.
    std::string readUntilClosed(std::chrono::milliseconds timeout);
    // True when the other side closed the connection in time (data before the close is discarded).
    bool waitClosedByLink(std::chrono::milliseconds timeout = 5s);

    bool send(std::string_view bytes);
    void closeConnection() { m_connection.close(); }

private:
    std::string m_address;
    Socket m_listener;
    Socket m_connection;
};

// True while the kernel's TCP table holds a socket in the given state towards address:port
// (state numbers as in /proc/net/tcp: 1 established, 2 SYN sent).
bool hasTcpSocketTowards(std::string_view address, std::uint16_t port, int state);

} // namespace tavrel::test

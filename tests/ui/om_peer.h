// A repeater stand-in on address:2301 for window tests: accepts the monitor's connection and reads its
// commands.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace tavrel::test {

class OmPeer {
public:
    static constexpr std::uint16_t kPort = 2301;

    // Listens at once (SO_REUSEADDR, so a rerun does not wait for old connections to time out).
    explicit OmPeer(const std::string& address);

    bool listening() const { return m_listener.valid(); }
    // Takes the monitor's connection when it comes in time; a time-out of 0 only looks.
    bool accept(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    bool send(std::string_view bytes) const;
    void closeConnection() { m_connection.close(); }

    // Everything received after what earlier calls consumed, up to and including the first `text`;
    // nothing when it does not arrive in time.
    std::optional<std::string> readThrough(std::string_view text,
                                           std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    Socket m_listener;
    Socket m_connection;
    std::string m_pending;
};

// The commands the monitor sends by itself, taken out so that a test can look at the rest.
std::string withoutPeriodicCommands(std::string bytes);

} // namespace tavrel::test

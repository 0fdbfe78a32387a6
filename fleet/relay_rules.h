// What the relay decides, apart from the sockets that carry it: where its endpoint listens, which addresses
// it serves and copies traffic to, and what becomes of each command of a client (protocol's
// om::CommandSplitter cuts a client's byte stream into commands as the repeater does).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

inline constexpr std::size_t kDefaultRelayMaxClients = 8;

// One IPv4 network in host order.
struct Cidr {
    std::uint32_t network = 0;
    std::uint32_t mask = 0;
    bool contains(std::uint32_t address) const { return (address & mask) == network; }
    friend bool operator==(const Cidr&, const Cidr&) = default;
};

// "A.B.C.D/N" or a bare address (/32), the list separated by commas, blanks around each allowed; nothing
// when an entry is malformed or the list is empty.
std::optional<std::vector<Cidr>> parseCidrList(std::string_view text);
// The loopback network, relay_allow's default.
std::vector<Cidr> loopbackOnly();
bool allowedBy(const std::vector<Cidr>& allow, std::uint32_t address);

struct HostPort {
    std::string address;
    std::uint16_t port = 0;
    friend bool operator==(const HostPort&, const HostPort&) = default;
};
// "ADDRESS:PORT" (IPv4) or a bare PORT on 127.0.0.1; nothing when malformed.
std::optional<HostPort> parseRelayListen(std::string_view text);

// What the relay does with one whole command of a client.
struct RelayVerdict {
    enum class Kind {
        Heartbeat,      // taken: the collector keeps the repeater's link alive itself
        LogDestination, // the client's log destination becomes `destination`
        AirLogOn,       // the client's air-log destination becomes `destination`, and it wants the air log
        AirLogOff,      // the client no longer wants the air log
        Refused,        // a destination outside relay_allow, or a command while relay_commands=off
        Pass,           // sent to the repeater unchanged
    };
    Kind kind = Kind::Pass;
    std::optional<HostPort> destination;
    // A line for the repeater's run log and the collector's own log; empty when nothing is written down
    // (heartbeats, the periodic alarm query).
    std::string record;
};

// `origin` is "ADDRESS:PORT" of the client.
RelayVerdict judgeClientCommand(std::string_view command, std::string_view origin,
                                const std::vector<Cidr>& allow, bool commandsOn);

} // namespace tavrel

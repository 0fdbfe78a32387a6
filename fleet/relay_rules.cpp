// The relay's plain rules: address lists, the listen value and each command's verdict.
#include "fleet/relay_rules.h"

#include <algorithm>
#include <array>

#include "fleet/setting_text.h"
#include "protocol/om_commands.h"

namespace tavrel {
namespace {

// Questions that change nothing on the repeater: they pass even with relay_commands=off.
constexpr std::array kQueries{om::kAlarmQuery,   om::kShowSwVersion,  om::kShowArmState,
                              om::kShowDspState, om::kShowAlarmState, om::kListChannel};

// "ADDRESS,PORT" as SETLOGDST and AILOGON carry it.
std::optional<HostPort> destinationOf(std::string_view arguments) {
    const auto comma = arguments.find(',');
    if (comma == std::string_view::npos || !parseIPv4(arguments.substr(0, comma)))
        return std::nullopt;
    const auto port = parsePort(arguments.substr(comma + 1));
    if (!port)
        return std::nullopt;
    return HostPort{std::string(arguments.substr(0, comma)), *port};
}

// The command as a log line shows it: bytes outside printable ASCII become '?'.
std::string printable(std::string_view text) {
    std::string shown(text);
    for (char& c : shown)
        if (c < 0x20 || c > 0x7e)
            c = '?';
    return shown;
}

} // namespace

std::optional<std::vector<Cidr>> parseCidrList(std::string_view text) {
    std::vector<Cidr> list;
    while (true) {
        const auto comma = text.find(',');
        const std::string_view entry = trimmed(text.substr(0, comma));
        const auto slash = entry.find('/');
        const auto address = parseIPv4(entry.substr(0, slash));
        std::uint64_t bits = 32;
        if (slash != std::string_view::npos) {
            const auto length = parseNumber(entry.substr(slash + 1));
            if (!length || *length > 32)
                return std::nullopt;
            bits = *length;
        }
        if (!address)
            return std::nullopt;
        const std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits);
        list.push_back({*address & mask, mask});
        if (comma == std::string_view::npos)
            return list;
        text.remove_prefix(comma + 1);
    }
}

std::vector<Cidr> loopbackOnly() {
    return {{0x7f000000u, 0xff000000u}};
}

bool allowedBy(const std::vector<Cidr>& allow, std::uint32_t address) {
    return std::any_of(allow.begin(), allow.end(),
                       [address](const Cidr& net) { return net.contains(address); });
}

std::optional<HostPort> parseRelayListen(std::string_view text) {
    text = trimmed(text);
    const auto colon = text.rfind(':');
    const std::string_view address = colon == std::string_view::npos ? "127.0.0.1" : text.substr(0, colon);
    const auto port = parsePort(colon == std::string_view::npos ? text : text.substr(colon + 1));
    if (!port || !parseIPv4(address))
        return std::nullopt;
    return HostPort{std::string(address), *port};
}

RelayVerdict judgeClientCommand(std::string_view command, std::string_view origin,
                                const std::vector<Cidr>& allow, bool commandsOn) {
    using Kind = RelayVerdict::Kind;
    const std::string from = "from " + std::string(origin);
    if (command == om::kHeartbeat)
        return {Kind::Heartbeat, std::nullopt, {}};
    if (command == om::kAirLogOff)
        return {Kind::AirLogOff, std::nullopt, {}};
    // The repeater's own destinations stay the collector's: these two never reach it.
    const bool logDestination = command.starts_with(om::kLogDestinationHead);
    if (logDestination || command.starts_with(om::kAirLogOnHead)) {
        const std::string_view head = logDestination ? om::kLogDestinationHead : om::kAirLogOnHead;
        const std::string_view what = logDestination ? "log" : "air-log";
        const auto destination = destinationOf(command.substr(head.size()));
        if (!destination)
            return {Kind::Refused, std::nullopt,
                    "RELAY " + std::string(what) + " destination " + from +
                        " refused, malformed: " + printable(command)};
        if (!allowedBy(allow, *parseIPv4(destination->address)))
            return {Kind::Refused, destination,
                    "RELAY " + std::string(what) + " destination " + destination->address + ":" +
                        std::to_string(destination->port) + " " + from + " refused: outside relay_allow"};
        return {logDestination ? Kind::LogDestination : Kind::AirLogOn, destination, {}};
    }
    if (command == om::kAlarmQuery)
        return {
            Kind::Pass, std::nullopt, {}}; // the window's periodic poll, as the collector's own: not written
    const bool query = std::find(kQueries.begin(), kQueries.end(), command) != kQueries.end();
    if (!commandsOn && !query)
        return {Kind::Refused, std::nullopt,
                "COMMAND " + from + " refused (relay_commands=off): " + printable(command)};
    return {Kind::Pass, std::nullopt, "COMMAND " + from + ": " + printable(command)};
}

} // namespace tavrel

// The four values that define a monitoring run, entered in the setup dialog, and the rules that check them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrel {

struct MonitorSettings {
    std::string localAddress;    // dotted IPv4, at most 15 characters: where both UDP receivers bind
    int monitorRxPort = 0;       // repeater-log port; a receiver binds its low 16 bits
    int airLogRxPort = 0;        // air-log port
    std::string repeaterAddress; // dotted IPv4, at most 15 characters: the repeater's O&M address
    // Where the O&M link connects instead of the repeater's port 2301: a collector's relay (--via). Empty
    // address: the repeater itself. The repeater's address still names the caption and the run files.
    std::string viaAddress{};
    std::uint16_t viaPort = 0;
};

inline constexpr int kFirstMonitorRxPort = 44320;
inline constexpr int kFirstAirLogRxPort = 45320;

inline int defaultMonitorRxPort(int instanceSlot) {
    return kFirstMonitorRxPort + 2 * instanceSlot;
}
inline int defaultAirLogRxPort(int instanceSlot) {
    return kFirstAirLogRxPort + 2 * instanceSlot;
}

// The messages of the "Continue" checks, in the order the checks run.
inline constexpr std::string_view kNoLocalAddressMessage = "No local IPv4 address to receive the logs on";
inline constexpr std::string_view kInvalidMonitorRxPortMessage = "Invalid monitor rx port";
inline constexpr std::string_view kInvalidAirLogRxPortMessage = "Invalid air log rx port";
inline constexpr std::string_view kInvalidRepeaterAddressMessage = "Invalid repeater address";
inline constexpr std::string_view kSameAddressMessage = "Same address with the repeater?!";

// Only the first five characters of a port field count.
inline constexpr std::size_t kPortFieldCharacters = 5;
// A UDP port cannot exceed this; a larger number would bind another port than the one the repeater is told.
inline constexpr int kHighestPort = 65535;

// The four octets of an IPv4 address as the address entry shows them, most significant first.
using Ipv4Octets = std::array<std::uint8_t, 4>;

// The raw contents of the setup dialog's fields when "Continue" is pressed.
struct SetupFields {
    std::string localAddress; // the selected entry of the local address list; empty when the list is empty
    std::string monitorRxPortText;
    std::string airLogRxPortText;
    Ipv4Octets repeaterOctets{};
};

// The decimal value of the first five characters of a port field, stopping at the first non-digit; 0 when
// the text does not start with a digit.
int portFieldValue(std::string_view text);

// "%d.%d.%d.%d" of the four octets.
std::string formatIpv4(const Ipv4Octets& octets);

// The octets of a dotted IPv4 address (exactly four decimal parts of 0-255); nothing for any other text.
std::optional<Ipv4Octets> parseIpv4(std::string_view dotted);

// Runs the "Continue" checks in order, storing each value into settings as its step is reached, so values of
// earlier steps stay stored when a later check fails. Returns the first failure's message, or nothing when
// every check passed.
std::optional<std::string_view> applySetupFields(const SetupFields& fields, MonitorSettings& settings);

} // namespace tavrel

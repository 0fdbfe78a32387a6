// The "Continue" checks of the setup dialog and the conversions they rely on.
#include "session/monitor_settings.h"

#include <cstdio>

#include "platform/narrow_text.h"

namespace tavrel {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isValidPort(int port) {
    return port > 0 && port <= kHighestPort;
}

} // namespace

int portFieldValue(std::string_view text) {
    text = text.substr(0, kPortFieldCharacters);
    int value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            break;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string formatIpv4(const Ipv4Octets& octets) {
    char text[16] = {};
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", octets[0], octets[1], octets[2], octets[3]);
    return text;
}

std::optional<Ipv4Octets> parseIpv4(std::string_view dotted) {
    Ipv4Octets octets{};
    std::size_t position = 0;
    for (std::size_t index = 0; index < octets.size(); ++index) {
        if (index > 0) {
            if (position >= dotted.size() || dotted[position] != '.')
                return std::nullopt;
            ++position;
        }
        int value = 0;
        std::size_t digits = 0;
        while (position < dotted.size() && isDigit(dotted[position]) && digits < 3) {
            value = value * 10 + (dotted[position] - '0');
            ++position;
            ++digits;
        }
        if (digits == 0 || value > 255)
            return std::nullopt;
        octets[index] = static_cast<std::uint8_t>(value);
    }
    if (position != dotted.size())
        return std::nullopt;
    return octets;
}

std::optional<std::string_view> applySetupFields(const SetupFields& fields, MonitorSettings& settings) {
    settings.localAddress = cutAddress(fields.localAddress);
    if (settings.localAddress.empty())
        return kNoLocalAddressMessage;

    settings.monitorRxPort = portFieldValue(fields.monitorRxPortText);
    if (!isValidPort(settings.monitorRxPort))
        return kInvalidMonitorRxPortMessage;

    settings.airLogRxPort = portFieldValue(fields.airLogRxPortText);
    if (!isValidPort(settings.airLogRxPort))
        return kInvalidAirLogRxPortMessage;

    const Ipv4Octets& octets = fields.repeaterOctets;
    if (octets[0] == 0 || octets[3] == 0)
        return kInvalidRepeaterAddressMessage;

    settings.repeaterAddress = formatIpv4(octets);
    if (settings.repeaterAddress == settings.localAddress)
        return kSameAddressMessage;
    return std::nullopt;
}

} // namespace tavrel

// Trimming and the number, port and address readers of the fleet's settings and relay commands.
#include "fleet/setting_text.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "platform/number_text.h"
#include "platform/socket.h"

namespace tavrel {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<std::uint64_t> parseNumber(std::string_view text) {
    return parseWhole<std::uint64_t>(text);
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    const auto value = parseNumber(text);
    if (!value || *value < 1 || *value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

std::optional<std::uint32_t> parseIPv4(std::string_view dotted) {
    sockaddr_in address{};
    if (!makeIPv4Address(dotted, 0, address))
        return std::nullopt;
    return ntohl(address.sin_addr.s_addr);
}

} // namespace tavrel

// The small pieces of text every fleet setting and relay command is read with: blanks trimmed, a whole
// number, a port, a dotted IPv4 address.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavrel {

// Without leading and trailing spaces, tabs and carriage returns.
std::string_view trimmed(std::string_view text);
// Digits only, the whole text.
std::optional<std::uint64_t> parseNumber(std::string_view text);
// 1 to 65535.
std::optional<std::uint16_t> parsePort(std::string_view text);
// A dotted IPv4 address, in host byte order.
std::optional<std::uint32_t> parseIPv4(std::string_view dotted);

} // namespace tavrel

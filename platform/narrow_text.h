// Conversions between the wire's narrow text and the text shown and filed (UTF-8 throughout).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrel {

// Cuts an address text to the 15 characters a dotted IPv4 address can have.
std::string cutAddress(std::string_view text);

// Turns bytes received from the repeater into valid UTF-8: every invalid sequence becomes U+FFFD,
// nothing is dropped. Conversion stops at the first NUL, as a C string would.
std::string toValidUtf8(std::string_view bytes);

} // namespace tavrel

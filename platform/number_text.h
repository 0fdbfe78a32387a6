// Whole-text number readers: the text is one number and nothing else (no blanks, no sign but minus), as
// settings, options and protocol fields hold them.
#pragma once

#include <charconv>
#include <chrono>
#include <optional>
#include <string_view>
#include <system_error>

namespace tavrel {

// An integer in the base; empty for no text, other characters, or a value the type cannot hold.
template <typename Integer> std::optional<Integer> parseWhole(std::string_view text, int base = 10) {
    Integer value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

// A finite decimal number ("inf" and "nan" refused).
std::optional<double> parseFinite(std::string_view text);

// Seconds as a decimal number from 0 to maxSeconds, rounded to milliseconds.
std::optional<std::chrono::milliseconds> parseSeconds(std::string_view text, double maxSeconds);

} // namespace tavrel

#include "platform/number_text.h"

#include <cmath>

namespace tavrel {

std::optional<double> parseFinite(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::chrono::milliseconds> parseSeconds(std::string_view text, double maxSeconds) {
    const auto seconds = parseFinite(text);
    if (!seconds || *seconds < 0 || *seconds > maxSeconds)
        return std::nullopt;
    return std::chrono::milliseconds(std::llround(*seconds * 1000));
}

} // namespace tavrel

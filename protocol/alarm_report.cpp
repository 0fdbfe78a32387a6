// Reads the alarm bits from one received chunk, as a signed decimal saturated to 32 bits.
#include "protocol/alarm_report.h"

#include <algorithm>
#include <limits>

namespace tavrel {
namespace {

constexpr std::string_view kAlarmReportTag = "ALARMSTATE:";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<std::int32_t> parseAlarmReport(std::string_view chunk) {
    chunk = chunk.substr(0, chunk.find('\0'));
    const std::size_t tag = chunk.find(kAlarmReportTag);
    if (tag == std::string_view::npos)
        return std::nullopt;

    const std::string_view text = chunk.substr(tag + kAlarmReportTag.size());
    std::size_t at = 0;
    while (at < text.size() && isSpace(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // The magnitude stops growing just past the 32-bit range, so any number of digits is safe.
    constexpr std::int64_t kMagnitudeCap = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; at < text.size() && isDigit(text[at]); ++at)
        magnitude = std::min(magnitude * 10 + (text[at] - '0'), kMagnitudeCap);

    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

} // namespace tavrel

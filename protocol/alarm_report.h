// The one report read back from the O&M channel: "ALARMSTATE:" and a decimal number.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavrel {

inline constexpr std::int32_t kAlarmVswr = 0x01;
inline constexpr std::int32_t kAlarmTemperature = 0x02;
inline constexpr std::int32_t kAlarmRxPll = 0x04;
inline constexpr std::int32_t kAlarmTxPll = 0x08;
inline constexpr std::int32_t kAlarmDcVolt = 0x10;

// The value after the first "ALARMSTATE:" in one received chunk (which ends at its first NUL): leading
// white space and a sign accepted, no digits give 0, values beyond 32 bits saturate. Nothing when the
// chunk holds no report.
std::optional<std::int32_t> parseAlarmReport(std::string_view chunk);

} // namespace tavrel

// Fuzz target: the alarm report parser on arbitrary received chunks.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/alarm_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view chunk(reinterpret_cast<const char*>(data), size);
    const auto report = tavrel::parseAlarmReport(chunk);
    // A report is found exactly when the marker stands before the first NUL.
    const auto text = chunk.substr(0, chunk.find('\0'));
    if (report.has_value() != (text.find("ALARMSTATE:") != std::string_view::npos))
        __builtin_trap();
    return 0;
}

// Fuzz target: air-log record decoding and both of its line formats, on datagrams of any length.
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/air_log_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto lines = tavrel::describeAirLogRecord(std::span<const std::uint8_t>(data, size));
    // A line must never carry a line break of its own, and the file line ends in exactly one.
    if (lines.displayLine.find('\n') != std::string::npos)
        __builtin_trap();
    if (lines.fileLine.empty() || lines.fileLine.back() != '\n' ||
        lines.fileLine.find('\n') != lines.fileLine.size() - 1)
        __builtin_trap();
    return 0;
}

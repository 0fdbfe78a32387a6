// The air-interface record: decoding and the two line formats (list line and data-file line).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tavrel {

// direction (1 byte, 0 = downlink), header value (4 bytes, most significant first), code (1 byte), payload.
struct AirLogRecord {
    static constexpr std::size_t kHeaderSize = 6;
    static constexpr std::size_t kFullSize = 44;
    static constexpr std::size_t kFilePayloadBytes = 38;
};

// What one received datagram gives: which list and file it goes to, the list line, and the file line
// (ending in "\n"). Only the datagram's own bytes are read, whatever its length.
struct AirLogLines {
    bool downlink = true;
    std::string displayLine;
    std::string fileLine;
};

AirLogLines describeAirLogRecord(std::span<const std::uint8_t> datagram);

} // namespace tavrel

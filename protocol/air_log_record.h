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
//  - 6 bytes or more: list "%06X %X" + " %02X" per payload byte; file "%08X %02X" + " %02X" for at most
//    38 payload bytes + "\n". A record shorter than 44 bytes gives only the bytes it has, nothing padded.
//  - fewer than 6 bytes (no complete header): both lines read "SHORT n bytes:" ("SHORT 1 byte:") and
//    " %02X" per byte, the file line ending in "\n"; the direction comes from byte 0, and an empty
//    datagram counts as downlink.
struct AirLogLines {
    bool downlink = true;
    std::string displayLine;
    std::string fileLine;
};

AirLogLines describeAirLogRecord(std::span<const std::uint8_t> datagram);

} // namespace tavrel

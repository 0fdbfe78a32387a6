// The air-interface record: decoding and the two line formats (list line and data-file line).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tavrel {

struct AirLogRecord {
    static constexpr std::size_t kHeaderSize = 6;
    static constexpr std::size_t kFullSize = 44;
    static constexpr std::size_t kFilePayloadBytes = 38;

    bool complete = false;        // at least the 6 header bytes arrived
    std::uint8_t direction = 0;   // 0 downlink, anything else uplink
    std::uint32_t header = 0;     // big-endian on the wire
    std::uint8_t code = 0;
    std::span<const std::uint8_t> payload; // the received bytes after the header, never more

    bool isDownlink() const { return direction == 0; }
};

// Reads only the bytes given; a datagram shorter than the header gives complete == false.
AirLogRecord decodeAirLogRecord(std::span<const std::uint8_t> datagram);

// "%06X %X" then " %02X" per payload byte.
std::string formatRecordDisplayLine(const AirLogRecord& record, std::span<const std::uint8_t> datagram);
// "%08X %02X" then " %02X" for up to 38 payload bytes, then "\n".
std::string formatRecordFileLine(const AirLogRecord& record, std::span<const std::uint8_t> datagram);

} // namespace tavrel

// The air-interface record: decoding and the two line formats (list line and data-file line).
#include "protocol/air_log_record.h"

#include <algorithm>

namespace tavrel {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// printf's "%0*X": upper-case hex, padded with zeros to at least minDigits.
void appendHex(std::string& out, std::uint32_t value, int minDigits) {
    char digits[8];
    int count = 0;
    do {
        digits[count++] = kHexDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    for (int i = count; i < minDigits; ++i)
        out += '0';
    while (count > 0)
        out += digits[--count];
}

// " %02X" for every byte.
void appendBytes(std::string& out, std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        out += ' ';
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0xF];
    }
}

// A datagram without a complete header: every byte it has, behind a marker the technician cannot miss.
AirLogLines describeShortRecord(std::span<const std::uint8_t> datagram) {
    AirLogLines lines;
    lines.downlink = datagram.empty() || datagram[0] == 0;
    lines.displayLine =
        "SHORT " + std::to_string(datagram.size()) + (datagram.size() == 1 ? " byte:" : " bytes:");
    appendBytes(lines.displayLine, datagram);
    lines.fileLine = lines.displayLine + '\n';
    return lines;
}

} // namespace

AirLogLines describeAirLogRecord(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < AirLogRecord::kHeaderSize)
        return describeShortRecord(datagram);

    const std::uint32_t header = std::uint32_t{datagram[1]} << 24 | std::uint32_t{datagram[2]} << 16 |
                                 std::uint32_t{datagram[3]} << 8 | std::uint32_t{datagram[4]};
    const std::uint8_t code = datagram[5];
    const auto payload = datagram.subspan(AirLogRecord::kHeaderSize);
    // The file line holds at most the 38 payload bytes of a full record, and never more than were received.
    const auto filePayload = payload.first(std::min(payload.size(), AirLogRecord::kFilePayloadBytes));

    AirLogLines lines;
    lines.downlink = datagram[0] == 0;
    lines.displayLine.reserve(12 + 3 * payload.size());
    appendHex(lines.displayLine, header, 6);
    lines.displayLine += ' ';
    appendHex(lines.displayLine, code, 1);
    appendBytes(lines.displayLine, payload);

    lines.fileLine.reserve(13 + 3 * filePayload.size());
    appendHex(lines.fileLine, header, 8);
    lines.fileLine += ' ';
    appendHex(lines.fileLine, code, 2);
    appendBytes(lines.fileLine, filePayload);
    lines.fileLine += '\n';
    return lines;
}

} // namespace tavrel

// The load the bench sends (numbered, time-stamped log lines and numbered air records) and the checks that
// every one of them arrived exactly once and in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel::bench {

inline constexpr std::size_t kLogLineBytes = 100;
inline constexpr std::size_t kAirRecordBytes = 44;
// "SEQ " + 10 digits + " T" + 19 digits: the shortest line that still carries both numbers.
inline constexpr std::size_t kShortestLogLine = 35;

// "SEQ 0000000001 T0000000123456789012 abcd..." filling out.size() bytes (at least kShortestLogLine):
// the sequence number and the CLOCK_MONOTONIC time of sending, in nanoseconds.
void formatLogLine(std::uint64_t sequence, std::int64_t sentNs, std::span<char> out);

// A full air record: direction 1 (uplink) for odd numbers and 0 (downlink) for even ones, the number as the
// 32-bit header value, code 0x5A, and 38 payload bytes derived from the number.
void formatAirRecord(std::uint64_t sequence, std::span<std::uint8_t, kAirRecordBytes> out);
inline bool airRecordIsDownlink(std::uint64_t sequence) {
    return sequence % 2 == 0;
}

struct NumberedLine {
    std::uint64_t sequence = 0;
    std::int64_t sentNs = 0;
};

// The numbers of a line that starts with "SEQ "; nothing for any other text.
std::optional<NumberedLine> parseLogLine(std::string_view text);

// Expects the numbers first, first + step, ... (count of them), each exactly once and in that order.
class SequenceCheck {
public:
    SequenceCheck(std::uint64_t first, std::uint64_t step, std::uint64_t count);

    void see(std::uint64_t sequence);

    bool complete() const { return m_inPlace == m_count && m_seen == m_count; }
    std::uint64_t seen() const { return m_seen; }
    std::uint64_t lost() const { return m_count - m_distinct; }
    std::uint64_t duplicates() const { return m_seen - m_distinct - m_foreign; }
    // Numbers that arrived after a higher one (a gap left by lost numbers is not counted here).
    std::uint64_t outOfOrder() const { return m_backwards; }
    // "all 100000 once, in order" or "99000 of 100000: 1000 lost, 0 twice, 0 out of order, 0 unexpected".
    std::string summary() const;

private:
    std::uint64_t m_first;
    std::uint64_t m_step;
    std::uint64_t m_count;
    std::uint64_t m_next;
    std::vector<bool> m_got;
    std::uint64_t m_seen = 0;
    std::uint64_t m_distinct = 0;
    std::uint64_t m_inPlace = 0;
    std::uint64_t m_foreign = 0;
    std::uint64_t m_backwards = 0;
    std::uint64_t m_highest = 0;
};

// Numbered lines 1..count in the tool's run log ("... >> SEQ ...").
SequenceCheck checkRunLog(const std::string& path, std::uint64_t count);
// Records 1..count: the even ones in the downlink data file, the odd ones in the uplink file, each in order.
SequenceCheck checkAirDataFile(const std::string& path, bool downlink, std::uint64_t count);
// Log lines of exactly kLogLineBytes written back to back (a plain receiver's output file).
SequenceCheck checkConcatenatedLines(const std::string& path, std::uint64_t count);

// Lines in a file (0 when it cannot be read).
std::uint64_t countLines(const std::string& path);

} // namespace tavrel::bench

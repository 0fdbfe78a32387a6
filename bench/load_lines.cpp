// Formatting and parsing of the bench's numbered load, and the exactly-once, in-order checks.
#include "bench/load_lines.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/number_text.h"

namespace tavrel::bench {
namespace {

constexpr std::string_view kSeqPrefix = "SEQ ";
constexpr std::string_view kRunLogMarker = ">> SEQ ";
constexpr std::uint8_t kAirCode = 0x5A;
constexpr std::size_t kAirHeaderBytes = 6;

} // namespace

void formatLogLine(std::uint64_t sequence, std::int64_t sentNs, std::span<char> out) {
    char head[64];
    const int length =
        std::snprintf(head, sizeof head, "SEQ %010llu T%019lld ", static_cast<unsigned long long>(sequence),
                      static_cast<long long>(sentNs));
    const std::size_t used = std::min(out.size(), static_cast<std::size_t>(length));
    std::memcpy(out.data(), head, used);
    for (std::size_t i = used; i < out.size(); ++i)
        out[i] = static_cast<char>('a' + i % 26);
}

void formatAirRecord(std::uint64_t sequence, std::span<std::uint8_t, kAirRecordBytes> out) {
    const auto header = static_cast<std::uint32_t>(sequence);
    out[0] = airRecordIsDownlink(sequence) ? 0 : 1;
    out[1] = static_cast<std::uint8_t>(header >> 24);
    out[2] = static_cast<std::uint8_t>(header >> 16);
    out[3] = static_cast<std::uint8_t>(header >> 8);
    out[4] = static_cast<std::uint8_t>(header);
    out[5] = kAirCode;
    for (std::size_t i = kAirHeaderBytes; i < out.size(); ++i)
        out[i] = static_cast<std::uint8_t>(header + i);
}

std::optional<NumberedLine> parseLogLine(std::string_view text) {
    if (text.size() < kShortestLogLine || !text.starts_with(kSeqPrefix) || text[14] != ' ' || text[15] != 'T')
        return std::nullopt;
    const auto sequence = parseWhole<std::uint64_t>(text.substr(4, 10));
    const auto sentNs = parseWhole<std::int64_t>(text.substr(16, 19));
    if (!sequence || !sentNs)
        return std::nullopt;
    return NumberedLine{*sequence, *sentNs};
}

SequenceCheck::SequenceCheck(std::uint64_t first, std::uint64_t step, std::uint64_t count)
    : m_first(first), m_step(step), m_count(count), m_next(first), m_got(count, false) {}

void SequenceCheck::see(std::uint64_t sequence) {
    ++m_seen;
    if (sequence < m_highest)
        ++m_backwards;
    m_highest = std::max(m_highest, sequence);
    if (sequence == m_next) {
        ++m_inPlace;
        m_next += m_step;
    } else if (sequence > m_next) {
        m_next = sequence + m_step; // later ones are judged against this one
    }
    if (sequence < m_first || (sequence - m_first) % m_step != 0 ||
        (sequence - m_first) / m_step >= m_count) {
        ++m_foreign;
        return;
    }
    const std::uint64_t index = (sequence - m_first) / m_step;
    if (!m_got[index]) {
        m_got[index] = true;
        ++m_distinct;
    }
}

std::string SequenceCheck::summary() const {
    if (complete())
        return "all " + std::to_string(m_count) + " once, in order";
    return std::to_string(m_distinct) + " of " + std::to_string(m_count) + ": " + std::to_string(lost()) +
           " lost, " + std::to_string(duplicates()) + " twice, " + std::to_string(outOfOrder()) +
           " out of order, " + std::to_string(m_foreign) + " unexpected";
}

SequenceCheck checkRunLog(const std::string& path, std::uint64_t count) {
    SequenceCheck check(1, 1, count);
    std::ifstream file(path, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        const auto at = line.find(kRunLogMarker);
        if (at == std::string::npos)
            continue;
        if (const auto numbered = parseLogLine(std::string_view(line).substr(at + 3)))
            check.see(numbered->sequence);
        else
            check.see(0); // a damaged line counts as unexpected
    }
    return check;
}

SequenceCheck checkAirDataFile(const std::string& path, bool downlink, std::uint64_t count) {
    const std::uint64_t first = downlink ? 2 : 1;
    const std::uint64_t inFile = count >= first ? (count - first) / 2 + 1 : 0;
    SequenceCheck check(first, 2, inFile);
    std::ifstream file(path, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        std::uint32_t header = 0;
        const auto [end, error] =
            std::from_chars(line.data(), line.data() + std::min<std::size_t>(8, line.size()), header, 16);
        check.see(error == std::errc{} && end == line.data() + 8 ? header : 0);
    }
    return check;
}

SequenceCheck checkConcatenatedLines(const std::string& path, std::uint64_t count) {
    SequenceCheck check(1, 1, count);
    std::ifstream file(path, std::ios::binary);
    std::string line(kLogLineBytes, '\0');
    while (file.read(line.data(), static_cast<std::streamsize>(line.size()))) {
        const auto numbered = parseLogLine(line);
        check.see(numbered ? numbered->sequence : 0);
    }
    return check;
}

std::uint64_t countLines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::uint64_t lines = 0;
    char buffer[1 << 16];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        lines += static_cast<std::uint64_t>(std::count(buffer, buffer + file.gcount(), '\n'));
        if (!file)
            break;
    }
    return lines;
}

} // namespace tavrel::bench

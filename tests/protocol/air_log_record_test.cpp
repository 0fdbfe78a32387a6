// Decoding of air-log datagrams into list and file lines, for full, long, short and header-less records.
#include "protocol/air_log_record.h"

#include <cstring>
#include <initializer_list>
#include <memory>

#include <gtest/gtest.h>

namespace tavrel {
namespace {

// A heap block of exactly the datagram's size, so AddressSanitizer reports any read past its end.
class ExactBytes {
public:
    explicit ExactBytes(std::size_t size) : m_bytes(std::make_unique<std::uint8_t[]>(size)), m_size(size) {}
    ExactBytes(std::initializer_list<std::uint8_t> bytes) : ExactBytes(bytes.size()) {
        std::memcpy(m_bytes.get(), bytes.begin(), bytes.size());
    }
    std::uint8_t& operator[](std::size_t i) { return m_bytes[i]; }
    std::span<const std::uint8_t> span() const { return {m_bytes.get(), m_size}; }

private:
    std::unique_ptr<std::uint8_t[]> m_bytes;
    std::size_t m_size;
};

// Direction, header 00 01 02 03, code 07, then the payload bytes 00, 01, 02 ... up to the size.
ExactBytes countingRecord(std::size_t size, std::uint8_t direction = 0) {
    ExactBytes record(size);
    const std::uint8_t header[] = {direction, 0x00, 0x01, 0x02, 0x03, 0x07};
    for (std::size_t i = 0; i < size; ++i)
        record[i] = i < 6 ? header[i] : static_cast<std::uint8_t>(i - 6);
    return record;
}

constexpr const char* kPayload38 =
    " 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18 19 1A"
    " 1B 1C 1D 1E 1F 20 21 22 23 24 25";

TEST(AirLogRecord, FullDownlinkRecordGivesBothLines) {
    const auto lines = describeAirLogRecord(countingRecord(44).span());
    EXPECT_TRUE(lines.downlink);
    EXPECT_EQ(lines.displayLine,
              "010203 7 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 "
              "18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25");
    EXPECT_EQ(lines.fileLine,
              "00010203 07 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 "
              "17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25\n");
}

TEST(AirLogRecord, AnyNonZeroDirectionIsUplink) {
    EXPECT_FALSE(describeAirLogRecord(countingRecord(44, 1).span()).downlink);
    EXPECT_FALSE(describeAirLogRecord(countingRecord(44, 0x80).span()).downlink);
    EXPECT_FALSE(describeAirLogRecord(countingRecord(44, 0xFF).span()).downlink);
    // The direction does not change the lines.
    EXPECT_EQ(describeAirLogRecord(countingRecord(44, 1).span()).fileLine,
              describeAirLogRecord(countingRecord(44, 0).span()).fileLine);
}

TEST(AirLogRecord, HeaderAndCodePadding) {
    const auto small = describeAirLogRecord(ExactBytes{0, 0x00, 0x00, 0x00, 0x12, 0x0A}.span());
    EXPECT_EQ(small.displayLine, "000012 A");
    EXPECT_EQ(small.fileLine, "00000012 0A\n");

    // Eight digits when the value needs them; the most significant byte comes first; upper case.
    const auto large = describeAirLogRecord(ExactBytes{1, 0xDE, 0xAD, 0xBE, 0xEF, 0xFF, 0xab}.span());
    EXPECT_EQ(large.displayLine, "DEADBEEF FF AB");
    EXPECT_EQ(large.fileLine, "DEADBEEF FF AB\n");

    const auto noLeadingByte = describeAirLogRecord(ExactBytes{0, 0x00, 0x12, 0x34, 0x56, 0x00}.span());
    EXPECT_EQ(noLeadingByte.displayLine, "123456 0");
    EXPECT_EQ(noLeadingByte.fileLine, "00123456 00\n");
}

TEST(AirLogRecord, RecordsWithoutCompleteHeaderAreMarkedShort) {
    const auto empty = describeAirLogRecord(ExactBytes(0).span());
    EXPECT_TRUE(empty.downlink);
    EXPECT_EQ(empty.displayLine, "SHORT 0 bytes:");
    EXPECT_EQ(empty.fileLine, "SHORT 0 bytes:\n");

    const auto one = describeAirLogRecord(ExactBytes{0x01}.span());
    EXPECT_FALSE(one.downlink);
    EXPECT_EQ(one.displayLine, "SHORT 1 byte: 01");
    EXPECT_EQ(one.fileLine, "SHORT 1 byte: 01\n");

    const auto two = describeAirLogRecord(ExactBytes{0x00, 0xFE}.span());
    EXPECT_TRUE(two.downlink);
    EXPECT_EQ(two.displayLine, "SHORT 2 bytes: 00 FE");

    const auto three = describeAirLogRecord(ExactBytes{0x01, 0x02, 0x03}.span());
    EXPECT_FALSE(three.downlink);
    EXPECT_EQ(three.displayLine, "SHORT 3 bytes: 01 02 03");
    EXPECT_EQ(three.fileLine, "SHORT 3 bytes: 01 02 03\n");

    EXPECT_EQ(describeAirLogRecord(ExactBytes{0, 1, 2, 3}.span()).displayLine, "SHORT 4 bytes: 00 01 02 03");
    const auto five = describeAirLogRecord(ExactBytes{0x00, 0x01, 0x02, 0x03, 0x0C}.span());
    EXPECT_TRUE(five.downlink);
    EXPECT_EQ(five.fileLine, "SHORT 5 bytes: 00 01 02 03 0C\n");
}

TEST(AirLogRecord, HeaderOnlyRecordHasNoPayload) {
    const auto lines = describeAirLogRecord(countingRecord(6, 1).span());
    EXPECT_FALSE(lines.downlink);
    EXPECT_EQ(lines.displayLine, "010203 7");
    EXPECT_EQ(lines.fileLine, "00010203 07\n");
}

TEST(AirLogRecord, ShortRecordGivesOnlyItsOwnBytes) {
    const auto seven = describeAirLogRecord(countingRecord(7).span());
    EXPECT_EQ(seven.displayLine, "010203 7 00");
    EXPECT_EQ(seven.fileLine, "00010203 07 00\n");

    const auto lines = describeAirLogRecord(countingRecord(43).span());
    EXPECT_EQ(lines.displayLine,
              "010203 7 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 "
              "18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24");
    EXPECT_EQ(lines.fileLine,
              "00010203 07 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 "
              "17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24\n");
}

TEST(AirLogRecord, LongRecordShowsEveryByteAndFilesThirtyEight) {
    const auto fortyFive = describeAirLogRecord(countingRecord(45).span());
    EXPECT_EQ(fortyFive.displayLine, std::string("010203 7") + kPayload38 + " 26");
    EXPECT_EQ(fortyFive.fileLine, std::string("00010203 07") + kPayload38 + "\n");

    const auto longest = describeAirLogRecord(countingRecord(64).span());
    EXPECT_EQ(longest.displayLine, std::string("010203 7") + kPayload38 +
                                       " 26 27 28 29 2A 2B 2C 2D 2E 2F 30 31 32 33 34 35 36 37 38 39");
    EXPECT_EQ(longest.fileLine, std::string("00010203 07") + kPayload38 + "\n");
}

} // namespace
} // namespace tavrel

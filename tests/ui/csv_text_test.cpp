// CSV quoting as RFC 4180 has it.
#include "ui/csv_text.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

TEST(CsvText, QuotesOnlyFieldsThatNeedIt) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Rx PLL", "Rx PLL"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
        {"'single' ; tab\t", "'single' ; tab\t"},
    };
    for (const auto& [field, expected] : cases)
        EXPECT_EQ(csvField(field), expected) << field;
    EXPECT_EQ(csvText({{"Time", "Alarm"}, {"x", "a,b"}, {}}), "Time,Alarm\r\nx,\"a,b\"\r\n\r\n");
}

} // namespace
} // namespace tavrel

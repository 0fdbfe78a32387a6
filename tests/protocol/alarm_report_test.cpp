// The alarm report read from one received chunk: where it is found, how the number is read, what is missed.
#include <gtest/gtest.h>

#include <string>

#include "protocol/alarm_report.h"

namespace tavrel {
namespace {

using namespace std::string_literals;

TEST(AlarmReport, ReadsTheNumberAfterTheTag) {
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:5"), 5);
    EXPECT_EQ(parseAlarmReport("xxALARMSTATE:16yy"), 16);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:31\r\n"), 31);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:007"), 7);
}

TEST(AlarmReport, AcceptsLeadingWhiteSpaceAndASign) {
    EXPECT_EQ(parseAlarmReport("ALARMSTATE: -3"), -3);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:+7"), 7);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:\t\n 12"), 12);
}

TEST(AlarmReport, NoDigitsGiveZero) {
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:"), 0);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:abc"), 0);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:-"), 0);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:+ 4"), 0); // white space only before the sign
}

TEST(AlarmReport, SaturatesOutsideThe32BitRange) {
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:2147483647"), 2147483647);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:2147483648"), 2147483647);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:-2147483648"), -2147483647 - 1);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:-2147483649"), -2147483647 - 1);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:99999999999999999999999999999999"), 2147483647);
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:-" + std::string(200, '9')), -2147483647 - 1);
}

TEST(AlarmReport, NothingWithoutTheTag) {
    EXPECT_FALSE(parseAlarmReport(""));
    EXPECT_FALSE(parseAlarmReport("ALARMSTATE"));
    EXPECT_FALSE(parseAlarmReport("alarmstate:5"));
    EXPECT_FALSE(parseAlarmReport("SWVER:1.0.0.7"));
}

TEST(AlarmReport, TwoReportsInOneChunkGiveTheFirst) {
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:2;ALARMSTATE:8"), 2);
}

TEST(AlarmReport, TheChunkEndsAtItsFirstNul) {
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:12\0"
                               "3"s),
              12);
    EXPECT_FALSE(parseAlarmReport("junk\0ALARMSTATE:4"s));
    EXPECT_EQ(parseAlarmReport("ALARMSTATE:\0"
                               "9"s),
              0);
}

TEST(AlarmReport, AReportSplitAcrossTwoChunksIsMissed) {
    EXPECT_FALSE(parseAlarmReport("status ALARMST"));
    EXPECT_FALSE(parseAlarmReport("ATE:1"));
}

} // namespace
} // namespace tavrel

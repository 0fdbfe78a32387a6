// The emulator's plain parts: alarm script, rate pacer, numbered lines, air records, options and control
// lines.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "emulator/air_record_generator.h"
#include "emulator/alarm_script.h"
#include "emulator/command_line.h"
#include "emulator/control_line.h"
#include "emulator/rate_pacer.h"
#include "emulator/text_format.h"

namespace tavrel::emulator {
namespace {

using namespace std::chrono_literals;

TEST(EmulatorAlarmScript, StepsGiveTheBitsInForceAndTheNextChange) {
    const auto script = AlarmScript::parse("5:3,0:0,10:0x11,2.5:1");
    ASSERT_TRUE(script);
    EXPECT_EQ(script->bitsAt(0ms), 0);
    EXPECT_EQ(script->bitsAt(2499ms), 0);
    EXPECT_EQ(script->bitsAt(2500ms), 1);
    EXPECT_EQ(script->bitsAt(7s), 3);
    EXPECT_EQ(script->bitsAt(1h), 0x11);
    EXPECT_EQ(script->nextStepAfter(0ms), 2500ms);
    EXPECT_EQ(script->nextStepAfter(5s), 10s);
    EXPECT_EQ(script->nextStepAfter(10s), std::nullopt);

    const auto late = AlarmScript::parse("1:4");
    ASSERT_TRUE(late);
    EXPECT_EQ(late->bitsAt(500ms), std::nullopt);

    for (const char* wrong : {"", "5", "5:", ":3", "5:3,", "-1:3", "5:-3", "a:1", "1:2:3", "5:3;6:1"})
        EXPECT_FALSE(AlarmScript::parse(wrong)) << wrong;
}

TEST(EmulatorRatePacer, SendsAtTheRateAndRestartsAfterAStall) {
    const RatePacer::Clock::time_point t0{};
    RatePacer pacer;
    EXPECT_EQ(pacer.takeDue(t0), 0u);
    pacer.start(10.0, t0);
    EXPECT_EQ(pacer.takeDue(t0), 1u);
    EXPECT_EQ(pacer.takeDue(t0 + 50ms), 0u);
    EXPECT_EQ(pacer.nextDue(), t0 + 100ms);
    EXPECT_EQ(pacer.takeDue(t0 + 100ms), 1u);
    EXPECT_EQ(pacer.takeDue(t0 + 450ms), 3u);
    EXPECT_EQ(pacer.nextDue(), t0 + 500ms);

    // Five seconds without a pass: the schedule starts again instead of sending 50 lines at once.
    EXPECT_EQ(pacer.takeDue(t0 + 5450ms), 1u);
    EXPECT_EQ(pacer.nextDue(), t0 + 5550ms);

    pacer.stop();
    EXPECT_FALSE(pacer.active());
    EXPECT_EQ(pacer.takeDue(t0 + 10s), 0u);
}

TEST(EmulatorNumberedLine, HasExactlyTheSizeAndCarriesItsNumber) {
    EXPECT_EQ(numberedLine(42, 1024).size(), 1024u);
    EXPECT_TRUE(numberedLine(42, 1024).starts_with("SEQ 0000000042 "));
    EXPECT_EQ(numberedLine(7, 1025).size(), 1025u);
    EXPECT_EQ(numberedLine(7, 6), "SEQ 00");
    EXPECT_EQ(numberedLine(7, 0), "");
}

TEST(EmulatorAirRecords, FullRecordsFollowTheLayoutAtDmrPace) {
    AirRecordGenerator generator;
    std::set<int> codes;
    std::uint32_t lastCounter[2] = {0, 0};
    for (int i = 0; i < 4000; ++i) {
        const auto record = generator.next();
        ASSERT_EQ(record.size(), kAirRecordBytes);
        // Round: downlink TS1, uplink TS1, downlink TS2, uplink TS2.
        EXPECT_EQ(record[0], i % 2);
        const std::uint32_t header =
            (std::uint32_t(record[1]) << 24) | (record[2] << 16) | (record[3] << 8) | record[4];
        const int timeslot = static_cast<int>(header >> 20);
        EXPECT_EQ(timeslot, (i / 2) % 2 + 1);
        const std::uint32_t counter = header & 0xFFFFF;
        if (record[0] == 0) {
            EXPECT_EQ(counter, lastCounter[timeslot - 1] + 1);
        }
        lastCounter[timeslot - 1] = counter;
        codes.insert(record[5]);
        EXPECT_EQ(record[kAirHeaderBytes + 33], 1) << "colour code";
    }
    // A thousand bursts per slot hold idle time and calls with headers, all six voice bursts and terminators.
    EXPECT_EQ(codes, (std::set<int>{0x01, 0x02, 0x03, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}));
    EXPECT_NEAR(kDmrAirRecordsPerSecond, 66.7, 0.1);
}

TEST(EmulatorAirRecords, OtherSizesAreCutOrPadded) {
    AirRecordGenerator generator;
    EXPECT_TRUE(generator.next(0).empty());
    const auto shortRecord = generator.next(3);
    ASSERT_EQ(shortRecord.size(), 3u);
    EXPECT_EQ(shortRecord[0], 1); // the uplink of the first round
    const auto longRecord = generator.next(kMaxUdpPayloadBytes);
    ASSERT_EQ(longRecord.size(), kMaxUdpPayloadBytes);
    EXPECT_EQ(longRecord[0], 0);
    EXPECT_EQ(longRecord[44], 44);
    EXPECT_EQ(longRecord[300], 300 % 256);
}

std::vector<std::string_view> words(std::initializer_list<std::string_view> list) {
    return list;
}

TEST(EmulatorCommandLine, EveryOptionIsTaken) {
    const CommandLine line = parseCommandLine(
        words({"--address", "127.0.3.7", "--reboot-seconds", "0.5", "--alarm", "0x12", "--alarm-script",
               "0:0,5:3", "--log-rate", "2000", "--log-size=1025", "--air-rate", "10", "--air-size", "65507",
               "--refuse", "--drop-after", "2", "--quiet"}));
    ASSERT_EQ(line.error, "");
    EXPECT_FALSE(line.showHelp);
    EXPECT_EQ(line.options.address, "127.0.3.7");
    EXPECT_EQ(line.options.rebootTime, 500ms);
    EXPECT_EQ(line.options.alarmBits, 0x12);
    EXPECT_EQ(line.options.alarmScript.steps().size(), 2u);
    EXPECT_EQ(line.options.logLinesPerSecond, 2000);
    EXPECT_EQ(line.options.logLineBytes, 1025u);
    EXPECT_EQ(line.options.airRecordsPerSecond, 10);
    EXPECT_EQ(line.options.airRecordBytes, 65507u);
    EXPECT_TRUE(line.options.refuse);
    EXPECT_EQ(line.options.dropAfter, 2000ms);
    EXPECT_TRUE(line.options.quiet);

    const CommandLine defaults = parseCommandLine({});
    EXPECT_EQ(defaults.options.address, "127.0.0.2");
    EXPECT_EQ(defaults.options.rebootTime, 3000ms);
    EXPECT_TRUE(parseCommandLine(words({"-h"})).showHelp);
}

TEST(EmulatorCommandLine, WrongValuesAreRefusedWithTheOptionNamed) {
    for (const auto& arguments :
         {words({"--address", "my.repeater"}), words({"--reboot-seconds", "-1"}), words({"--alarm", "five"}),
          words({"--alarm-script", "0:0,"}), words({"--log-rate", "1e9"}), words({"--log-size", "65508"}),
          words({"--air-size", "-4"}), words({"--drop-after"}), words({"--bogus"}),
          words({"--air-rate", "nan"}), words({"--quiet=yes"}), words({"stray"})}) {
        const CommandLine line = parseCommandLine(arguments);
        const std::string_view name = arguments.front().substr(0, arguments.front().find('='));
        EXPECT_TRUE(line.error.starts_with(name)) << line.error;
    }
}

TEST(EmulatorControlLine, LinesFromStandardInput) {
    EXPECT_EQ(parseControlLine("alarm 5", false).kind, ControlKind::Alarm);
    EXPECT_EQ(parseControlLine("  alarm 0x1F \r", false).alarmBits, 0x1F);
    EXPECT_EQ(parseControlLine("alarm", false).kind, ControlKind::Invalid);
    const ControlLine log = parseControlLine("log  two\\nlines \\\\ kept ", false);
    EXPECT_EQ(log.kind, ControlKind::Log);
    EXPECT_EQ(log.text, " two\nlines \\ kept ");
    EXPECT_EQ(parseControlLine("air", false).kind, ControlKind::Air);
    EXPECT_EQ(parseControlLine("reboot", false).kind, ControlKind::Reboot);
    EXPECT_EQ(parseControlLine("drop", false).kind, ControlKind::Drop);
    EXPECT_EQ(parseControlLine("quit\r", false).kind, ControlKind::Quit);
    EXPECT_EQ(parseControlLine("help", false).kind, ControlKind::Help);
    EXPECT_EQ(parseControlLine("   ", false).kind, ControlKind::Empty);
    EXPECT_EQ(parseControlLine("quit now", false).kind, ControlKind::Invalid);
    EXPECT_EQ(parseControlLine("reboto", false).kind, ControlKind::Invalid);
}

} // namespace
} // namespace tavrel::emulator

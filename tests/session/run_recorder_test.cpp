// The run recorder: its start, a fresh start under a new time, and the news of a data file that stops and
// takes lines again, told once each to both kinds of listener.
#include "session/run_recorder.h"

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "tests/session/temp_dir.h"

namespace tavrel {
namespace {

struct Heard : RunRecorderListener {
    void onRecordedLine(std::string_view line) override { lines.emplace_back(line); }
    void onFilingChanged(std::string_view text) override { changes.emplace_back(text); }
    std::vector<std::string> lines;
    std::vector<std::string> changes;
};

TEST(RunRecorder, StartsAfreshWithANewRunLogAndNewDataFilesUnderTheNewTime) {
    test::TempExeDir dir;
    StampedTime now{2026, 12, 10, 23, 59, 59};
    Heard heard;
    RunRecorder recorder(
        dir.path(), "10.0.1.5", [&now] { return now; }, heard);
    ASSERT_EQ(recorder.start(), std::nullopt);
    recorder.append("before midnight");
    const std::string firstRunLog = recorder.files().runLogPath();
    const std::string firstDownlink = recorder.files().downlinkDataPath();

    now = {2026, 12, 11, 0, 0, 0};
    ASSERT_EQ(recorder.startAfresh(), std::nullopt);
    recorder.append("after midnight");
    EXPECT_EQ(recorder.files().runLogPath(), dir.path() + "/repeater[10.0.1.5]_20261211000000.log");
    EXPECT_NE(recorder.files().downlinkDataPath(), firstDownlink);
    const std::string fresh = test::readFile(recorder.files().runLogPath());
    EXPECT_TRUE(
        fresh.starts_with("This is the logging information file of the repeater[10.0.1.5].\n"
                          "Created at 20261211 000000 by the Velmont.\n\n20261211 000000>> The Velmont"))
        << fresh;
    EXPECT_TRUE(fresh.ends_with(">> Run log: " + recorder.files().runLogPath() +
                                "\n20261211 000000>> after midnight\n"));
    EXPECT_TRUE(test::readFile(firstRunLog).ends_with("20261210 235959>> before midnight\n"))
        << "the earlier run log is left as it was";
    EXPECT_EQ(heard.lines.back(), "20261211 000000>> after midnight");
    EXPECT_TRUE(heard.changes.empty());
}

TEST(RunRecorder, ADataFileThatStopsAndTakesLinesAgainIsFiledAndToldOnceEach) {
    test::TempExeDir dir;
    Heard heard;
    RunRecorder recorder(
        dir.path(), "10.0.1.6", [] { return StampedTime{2026, 12, 10, 8, 0, 0}; }, heard);
    ASSERT_EQ(recorder.start(), std::nullopt);
    const std::string downlink = recorder.files().downlinkDataPath();
    std::vector<std::uint8_t> record(44, 0);
    record[5] = 0x0A;                            // downlink
    std::filesystem::create_directory(downlink); // stands in the file's place
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(recorder.fileAirRecord(record).downlink);
    std::filesystem::remove(downlink);
    recorder.fileAirRecord(record);
    recorder.fileAirRecord(record);

    ASSERT_EQ(heard.changes.size(), 2u);
    EXPECT_EQ(heard.changes[0], "Cannot write " + downlink +
                                    ": Is a directory; lines are lost until it can be "
                                    "written again");
    EXPECT_EQ(heard.changes[1], downlink + " is written again");
    const std::string runLog = test::readFile(recorder.files().runLogPath());
    EXPECT_TRUE(
        runLog.ends_with(">> " + heard.changes[0] + "\n20261210 080000>> " + heard.changes[1] + "\n"));
    EXPECT_EQ(std::filesystem::file_size(downlink), 2 * 126u);
}

} // namespace
} // namespace tavrel

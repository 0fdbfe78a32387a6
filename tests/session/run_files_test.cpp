// Run file names, the run-log header, the stamped line, the open-append-close writes and how their failures
// are told.
#include <cerrno>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "session/run_files.h"
#include "session/stamped_time.h"
#include "session/write_watch.h"
#include "tests/session/temp_dir.h"

namespace tavrel {
namespace {

using test::readFile;
using test::TempExeDir;

constexpr StampedTime kLastSecondOfDay{2016, 8, 3, 23, 59, 59};

TEST(MonitorRunFiles, NamesCarryDirectoryAddressAndStartSecond) {
    const RunFiles files("/opt/tavrel/log", "192.168.1.20", StampedTime{2016, 8, 3, 13, 47, 15});
    EXPECT_EQ(files.runLogPath(), "/opt/tavrel/log/repeater[192.168.1.20]_20160803134715.log");
    EXPECT_EQ(files.downlinkDataPath(), "/opt/tavrel/log/AIRInfo[192.168.1.20]_D_20160803134715.dat");
    EXPECT_EQ(files.uplinkDataPath(), "/opt/tavrel/log/AIRInfo[192.168.1.20]_U_20160803134715.dat");

    const RunFiles late("/x/log", "10.0.0.7", kLastSecondOfDay);
    EXPECT_EQ(late.runLogPath(), "/x/log/repeater[10.0.0.7]_20160803235959.log");
}

TEST(MonitorRunFiles, HeaderIsExactAndCreatingTruncates) {
    TempExeDir dir;
    const RunFiles files(dir.logDir().string(), "10.0.0.7", kLastSecondOfDay);
    ASSERT_TRUE(files.appendRunLog("left over from an earlier run"));
    ASSERT_TRUE(files.createRunFiles());
    EXPECT_EQ(readFile(files.runLogPath()),
              "This is the logging information file of the repeater[10.0.0.7].\n"
              "Created at 20160803 235959 by the Velmont.\n\n");
    // The data files appear only with their first record.
    EXPECT_FALSE(std::filesystem::exists(files.downlinkDataPath()));
    EXPECT_FALSE(std::filesystem::exists(files.uplinkDataPath()));
}

TEST(MonitorRunFiles, TwoRepeatersStartedInTheSameSecondWriteTheirOwnFiles) {
    TempExeDir dir;
    const RunFiles first(dir.logDir().string(), "10.0.0.7", kLastSecondOfDay);
    const RunFiles second(dir.logDir().string(), "10.0.0.8", kLastSecondOfDay);
    ASSERT_TRUE(first.createRunFiles());
    ASSERT_TRUE(second.createRunFiles());
    first.appendRunLog("first");
    second.appendRunLog("second");
    EXPECT_NE(first.runLogPath(), second.runLogPath());
    EXPECT_NE(first.downlinkDataPath(), second.downlinkDataPath());
    EXPECT_NE(readFile(first.runLogPath()).find("repeater[10.0.0.7]"), std::string::npos);
    EXPECT_NE(readFile(first.runLogPath()).find("first\n"), std::string::npos);
    EXPECT_EQ(readFile(first.runLogPath()).find("second"), std::string::npos);
    EXPECT_NE(readFile(second.runLogPath()).find("second\n"), std::string::npos);
}

TEST(MonitorRunFiles, LinesAppendInOrderAndDataLinesGoToTheirDirection) {
    TempExeDir dir;
    const RunFiles files(dir.logDir().string(), "10.0.0.7", kLastSecondOfDay);
    ASSERT_TRUE(files.createRunFiles());
    files.appendRunLog("one");
    files.appendRunLog("two\n"); // a text with its own line end leaves an empty line
    files.appendRunLog("three");
    EXPECT_NE(readFile(files.runLogPath()).find("\n\none\ntwo\n\nthree\n"), std::string::npos);

    EXPECT_TRUE(files.appendDataLine(true, "00010203 07 00\n"));
    EXPECT_TRUE(files.appendDataLine(false, "00000012 0A 01\n"));
    EXPECT_TRUE(files.appendDataLine(true, "00000001 01 02\n"));
    EXPECT_EQ(readFile(files.downlinkDataPath()), "00010203 07 00\n00000001 01 02\n");
    EXPECT_EQ(readFile(files.uplinkDataPath()), "00000012 0A 01\n");
}

TEST(MonitorRunFiles, AFailedWriteGivesTheSystemsReasonAndTheNextFileStillWorks) {
    const RunFiles nowhere("/nonexistent/tavrel-monitor-test", "10.0.0.7", kLastSecondOfDay);
    EXPECT_EQ(nowhere.createRunFiles().error, ENOENT);
    EXPECT_EQ(nowhere.appendRunLog("nowhere").error, ENOENT);
    EXPECT_EQ(nowhere.appendDataLine(true, "00000001 01\n").error, ENOENT);

    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full on this machine";
    TempExeDir dir;
    const RunFiles files(dir.logDir().string(), "10.0.0.7", kLastSecondOfDay);
    // The run log and the downlink file stand for files on a full disk: they open, but writing fails.
    std::filesystem::create_symlink("/dev/full", files.runLogPath());
    std::filesystem::create_symlink("/dev/full", files.downlinkDataPath());
    EXPECT_EQ(files.createRunFiles().error, ENOSPC);
    EXPECT_EQ(files.appendRunLog("lost on a full disk").error, ENOSPC);
    EXPECT_EQ(files.appendDataLine(true, "00000001 01 02\n").error, ENOSPC);
    EXPECT_TRUE(files.appendDataLine(false, "00000012 0A 01\n"));
    EXPECT_EQ(readFile(files.uplinkDataPath()), "00000012 0A 01\n");
}

TEST(MonitorRunFileWrites, AFailingFileIsToldOnceWhenItStopsAndOnceWhenItIsWrittenAgain) {
    WriteWatch watch("/var/log/x.log");
    const struct {
        int error;
        const char* told; // nullptr: nothing
    } steps[] = {
        {0, nullptr},
        {ENOSPC, "Cannot write /var/log/x.log: No space left on device; lines are lost until it can be "
                 "written again"},
        {ENOSPC, nullptr},
        {EIO, nullptr}, // another reason, but the same stop
        {0, "/var/log/x.log is written again"},
        {0, nullptr},
        {ENOENT, "Cannot write /var/log/x.log: No such file or directory; lines are lost until it can be "
                 "written again"},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        const auto told = watch.record(WriteResult{steps[i].error});
        EXPECT_EQ(told.value_or("nothing"), steps[i].told ? steps[i].told : "nothing");
        EXPECT_EQ(watch.failing(), steps[i].error != 0);
    }
}

TEST(MonitorStampedLine, FormatsTheStampAndKeepsLongTextWhole) {
    EXPECT_EQ(formatStampedLine(StampedTime{2016, 8, 3, 9, 5, 7}, "Repeter connected"),
              "20160803 090507>> Repeter connected");
    // Longer than the old 2048-character line buffer: nothing is cut.
    const std::string longText(3000, 'x');
    const std::string line = formatStampedLine(kLastSecondOfDay, longText);
    EXPECT_EQ(line.size(), std::string("20160803 235959>> ").size() + longText.size());
    EXPECT_EQ(line.substr(line.size() - 3000), longText);
}

TEST(MonitorStampedTime, FollowsTheLocalTimeZone) {
    // A local moment turned into a time_t by mktime must come back with the same fields.
    std::tm fields{};
    fields.tm_year = 2016 - 1900;
    fields.tm_mon = 7;
    fields.tm_mday = 3;
    fields.tm_hour = 23;
    fields.tm_min = 59;
    fields.tm_sec = 59;
    fields.tm_isdst = -1;
    const std::time_t moment = std::mktime(&fields);
    EXPECT_EQ(localStampedTime(moment), (StampedTime{2016, 8, 3, 23, 59, 59}));
    // One second later it is the next day, with its own stamp.
    EXPECT_EQ(localStampedTime(moment + 1), (StampedTime{2016, 8, 4, 0, 0, 0}));
}

} // namespace
} // namespace tavrel

// Run files written with and without keeping them open between lines: the same lines in the same files, a
// removed file back with the next line, a file whose directory went back once it returns; kept open, the
// descriptors stay between lines and go with keepOpen(false).
#include <filesystem>

#include <gtest/gtest.h>

#include "session/run_files.h"
#include "tests/session/temp_dir.h"

namespace tavrel {
namespace {

using test::readFile;
using test::TempExeDir;

std::size_t openDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(RunFilesKeptOpen, WriteTheSameAndComeBackAfterRemovalEitherWay) {
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "kept open" : "opened per line");
        TempExeDir dir;
        const std::string logDir = dir.logDir().string();
        RunFiles files(logDir, "10.0.0.7", StampedTime{2026, 12, 10, 0, 0, 0});
        files.keepOpen(keep);
        ASSERT_TRUE(files.createRunFiles());
        const std::size_t before = openDescriptors();
        ASSERT_TRUE(files.appendRunLog("one"));
        ASSERT_TRUE(files.appendDataLine(true, "00000001 01\n"));
        EXPECT_EQ(openDescriptors(), before + (keep ? 2 : 0));
        EXPECT_TRUE(readFile(files.runLogPath()).ends_with("\n\none\n"));

        std::filesystem::remove(files.runLogPath()); // by hand: the next line makes it again
        ASSERT_TRUE(files.appendRunLog("two"));
        EXPECT_EQ(readFile(files.runLogPath()), "two\n");

        std::filesystem::remove_all(logDir); // the directory gone: lines fail until it is back
        EXPECT_EQ(files.appendDataLine(true, "00000002 02\n").error, ENOENT);
        std::filesystem::create_directories(logDir);
        ASSERT_TRUE(files.appendDataLine(true, "00000003 03\n"));
        EXPECT_EQ(readFile(files.downlinkDataPath()), "00000003 03\n");

        files.keepOpen(false);
        EXPECT_EQ(openDescriptors(), before);
    }
}

} // namespace
} // namespace tavrel

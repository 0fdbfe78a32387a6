// The log directory is made beside the executable, whatever the working directory of the process.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "child_process.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

class ExecutableDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavrel-found-exe-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = fs::canonical(pattern);
        m_exeDir = m_root / "tool";
        m_elsewhere = m_root / "elsewhere";
        fs::create_directories(m_exeDir);
        fs::create_directories(m_elsewhere);
        fs::copy_file(TAVREL_PROBE_PATH, m_exeDir / "probe");
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path m_root, m_exeDir, m_elsewhere;
};

TEST_F(ExecutableDirectory, LogDirectoryIsCreatedBesideTheExecutableNotInTheWorkingDirectory) {
    for (int run = 0; run < 2; ++run) { // the second run finds the directory already there
        test::ChildProcess probe((m_exeDir / "probe").string(), {"logdir"}, m_elsewhere.string());
        EXPECT_EQ(probe.readLine(), "exe " + m_exeDir.string());
        EXPECT_EQ(probe.readLine(), "log " + (m_exeDir / "log").string());
        EXPECT_EQ(probe.wait(), 0);
        EXPECT_TRUE(fs::is_directory(m_exeDir / "log"));
        EXPECT_FALSE(fs::exists(m_elsewhere / "log"));
    }
}

TEST_F(ExecutableDirectory, ExistingLogFilesAreKept) {
    fs::create_directories(m_exeDir / "log");
    const fs::path earlier = m_exeDir / "log" / "repeater[127.0.1.40]_2024.log";
    {
        std::FILE* file = std::fopen(earlier.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
    }
    test::ChildProcess probe((m_exeDir / "probe").string(), {"logdir"}, m_elsewhere.string());
    EXPECT_EQ(probe.wait(), 0);
    EXPECT_TRUE(fs::exists(earlier));
}

} // namespace
} // namespace tavrel

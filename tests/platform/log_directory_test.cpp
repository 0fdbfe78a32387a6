// The log directory's choice: log/ beside the executable while it can be written, else the XDG state
// directory; the cases are built from a regular file where a directory would have to be, so they hold as
// root too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/log_directory.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

class LogDirectoryChoice : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavrel-logdir-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = fs::canonical(pattern);
        fs::create_directories(m_root / "tool");
        std::ofstream(m_root / "file") << "a regular file, never a directory\n";
    }
    void TearDown() override {
        for (const char* dir : {"tool", "tool/log"}) {
            std::error_code ignored;
            fs::permissions(m_root / dir, fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(m_root);
    }

    fs::path m_root;
};

TEST_F(LogDirectoryChoice, BesideTheExecutableWhileWritableElseTheStateDirectory) {
    // Paths are relative to the test's directory; "" stays empty (unset, unknown) and a leading "=" passes
    // the rest as it is, a relative path.
    struct Case {
        const char* name;
        std::string executableDir, stateHome, home;
        std::string expected;
        bool created; // the expected directory exists afterwards
    };
    const Case cases[] = {
        {"writable executable directory", "tool", "state", "home", "tool/log", true},
        {"log/ cannot be made beside it, XDG_STATE_HOME set", "file", "state", "home", "state/tavrel/log",
         true},
        {"log/ cannot be made beside it, XDG_STATE_HOME unset", "file", "", "home",
         "home/.local/state/tavrel/log", true},
        {"XDG_STATE_HOME relative is ignored", "file", "=state", "home", "home/.local/state/tavrel/log",
         true},
        {"unknown executable directory", "", "state", "home", "state/tavrel/log", true},
        {"neither can be made: the state directory is named", "file", "", "file/home",
         "file/home/.local/state/tavrel/log", false},
        {"no absolute home: log/ beside the executable is named", "file", "", "=home", "file/log", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto place = [this](const std::string& path) {
            if (path.empty())
                return path;
            return path.front() == '=' ? path.substr(1) : (m_root / path).string();
        };
        const std::string chosen =
            chooseLogDirectory({place(c.executableDir), place(c.stateHome), place(c.home)});
        EXPECT_EQ(chosen, (m_root / c.expected).string());
        EXPECT_EQ(fs::is_directory(chosen), c.created);
        if (c.created) {
            EXPECT_TRUE(fs::is_empty(chosen)) << "the write probe is removed again";
        }
    }
    // What is made in the state directory is the user's own.
    struct stat made {};
    ASSERT_EQ(::stat((m_root / "home/.local").c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0700u);
}

// The choice made by an ordinary user: in a child process that gives up root first, since root writes into
// read-only directories.
std::string chooseAsOrdinaryUser(const LogPlaces& places) {
    if (::geteuid() != 0)
        return chooseLogDirectory(places);
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        constexpr uid_t kNobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(1);
        const std::string chosen = chooseLogDirectory(places);
        const bool written = ::write(pipeEnds[1], chosen.data(), chosen.size()) == ssize_t(chosen.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string chosen;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        chosen.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? chosen : "the child failed";
}

TEST_F(LogDirectoryChoice, AnInstalledProgramsReadOnlyLogDirectoryIsPassedOver) {
    // As installed: bin/ and a log/ someone made beside it belong to root, and only root may write there.
    // log/ exists, so only the write probe can tell.
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(m_root, fs::perms::all);
    fs::create_directories(m_root / "tool/log");
    fs::permissions(m_root / "tool/log", readOnly);
    fs::permissions(m_root / "tool", readOnly);
    fs::create_directories(m_root / "home");
    fs::permissions(m_root / "home", fs::perms::all);
    const LogPlaces places{(m_root / "tool").string(), "", (m_root / "home").string()};
    EXPECT_EQ(chooseAsOrdinaryUser(places), (m_root / "home/.local/state/tavrel/log").string());
    EXPECT_TRUE(fs::is_directory(m_root / "home/.local/state/tavrel/log"));
    EXPECT_TRUE(fs::is_empty(m_root / "tool/log"));
}

} // namespace
} // namespace tavrel

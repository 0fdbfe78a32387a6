// The tavrel-repeater program: --help, refused options, control lines on standard input, and how it ends.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/emulator/loopback_peer.h"

namespace tavrel::emulator {
namespace {

using namespace std::chrono_literals;
using test::connectOm;
using test::receiveTcp;
using test::UdpReceiver;

// The program started with the given arguments; its standard input is a pipe we hold, or /dev/null.
// Killed and reaped at the end of the test if still running.
class Program {
public:
    Program(std::vector<std::string> arguments, bool inputPipe) {
        int pipeFds[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (inputPipe && ::pipe2(pipeFds, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
            m_input = pipeFds[1];
        } else {
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        arguments.insert(arguments.begin(), TAVREL_REPEATER_PROGRAM);
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (pipeFds[0] >= 0)
            ::close(pipeFds[0]);
    }
    ~Program() {
        closeInput();
        if (m_pid > 0 && !m_exitStatus) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    void write(const std::string& text) {
        ASSERT_EQ(::write(m_input, text.data(), text.size()), ssize_t(text.size()));
    }
    void closeInput() {
        if (m_input >= 0)
            ::close(m_input);
        m_input = -1;
    }
    bool running() { return m_pid > 0 && !exited(0ms); }

    // Whether it ended within the time-out; the exit status is then in exitStatus().
    bool exited(std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        do {
            int status = 0;
            if (!m_exitStatus && ::waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_exitStatus = status;
            if (m_exitStatus)
                return true;
            ::usleep(10'000);
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }
    int exitStatus() const { return m_exitStatus.value_or(-1); }
    void signal(int number) { ::kill(m_pid, number); }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    std::optional<int> m_exitStatus;
};

// Connects once the program listens (it needs a moment to start).
Socket connectWhenUp(const char* address) {
    const auto end = std::chrono::steady_clock::now() + 5s;
    for (;;) {
        Socket socket = connectOm(address);
        if (socket.valid() || std::chrono::steady_clock::now() > end)
            return socket;
        ::usleep(20'000);
    }
}

TEST(EmulatorProgram, HelpExitsZeroAndNamesEveryOptionAndControlLine) {
    const std::string command = std::string(TAVREL_REPEATER_PROGRAM) + " --help";
    FILE* output = ::popen(command.c_str(), "r");
    ASSERT_NE(output, nullptr);
    std::string text;
    char buffer[4096];
    for (std::size_t size; (size = std::fread(buffer, 1, sizeof buffer, output)) > 0;)
        text.append(buffer, size);
    const int status = ::pclose(output);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const char* option :
         {"--address", "--reboot-seconds", "--alarm ", "--alarm-script", "--log-rate", "--log-size",
          "--air-rate", "--air-size", "--refuse", "--drop-after", "--quiet", "--help", "alarm N", "log TEXT",
          "air ", "reboot ", "drop ", "quit ", "help "})
        EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST(EmulatorProgram, WrongOptionEndsWithAnError) {
    Program program({"--alarm-script", "5"}, false);
    ASSERT_TRUE(program.exited(5s));
    EXPECT_TRUE(WIFEXITED(program.exitStatus()));
    EXPECT_EQ(WEXITSTATUS(program.exitStatus()), 2);
}

TEST(EmulatorProgram, ClosedInputKeepsItRunningAndSigtermEndsItCleanly) {
    Program program({"--address", "127.0.3.30", "--quiet"}, false);
    const Socket client = connectWhenUp("127.0.3.30");
    ASSERT_TRUE(client.valid());
    // Standard input was at its end from the start; the repeater still answers.
    ASSERT_EQ(client.send(std::string_view("TEST_CTRL_TO_CHCU:ALARMQUERY:")), 29);
    EXPECT_EQ(receiveTcp(client), "ALARMSTATE:0");
    EXPECT_TRUE(program.running());

    program.signal(SIGTERM);
    ASSERT_TRUE(program.exited(5s));
    EXPECT_TRUE(WIFEXITED(program.exitStatus()));
    EXPECT_EQ(WEXITSTATUS(program.exitStatus()), 0);
}

TEST(EmulatorProgram, ControlLinesDriveTheRepeaterAndQuitEndsIt) {
    Program program({"--address", "127.0.3.31", "--quiet"}, true);
    const Socket client = connectWhenUp("127.0.3.31");
    ASSERT_TRUE(client.valid());
    UdpReceiver log("127.0.3.31");
    const std::string destination =
        "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:127.0.3.31," + std::to_string(log.port());
    ASSERT_EQ(client.send(destination), ssize_t(destination.size()));
    ASSERT_TRUE(log.receiveStartingWith("LOG: on"));

    program.write("log two\\nlines\n");
    EXPECT_EQ(log.receive(), "two\nlines");
    program.write("alarm 9\n");
    // The next query is sent once the 'alarm' line has been taken, which the log line below proves.
    program.write("log after alarm\n");
    ASSERT_TRUE(log.receiveStartingWith("after alarm"));
    ASSERT_EQ(client.send(std::string_view("TEST_CTRL_TO_CHCU:ALARMQUERY:")), 29);
    EXPECT_EQ(receiveTcp(client), "ALARMSTATE:9");

    program.write("bogus line\ndrop\n");
    EXPECT_EQ(receiveTcp(client), std::nullopt) << "dropped";
    program.write("quit\n");
    ASSERT_TRUE(program.exited(5s));
    EXPECT_EQ(WEXITSTATUS(program.exitStatus()), 0);
}

// The options that shape a repeater's behaviour hold for every member of a fleet, as for a single one.
TEST(EmulatorProgram, FleetMembersFollowTheAlarmScriptAndDropAfterTheirTime) {
    Program program({"--fleet", "2", "--first-address", "127.0.22.1", "--quiet", "--alarm-script", "0:4",
                     "--drop-after", "0.3"},
                    true);
    const Socket client = connectWhenUp("127.0.22.2");
    ASSERT_TRUE(client.valid());
    const auto accepted = std::chrono::steady_clock::now();
    ASSERT_EQ(client.send(std::string_view("TEST_CTRL_TO_CHCU:ALARMQUERY:")), 29);
    EXPECT_EQ(receiveTcp(client), "ALARMSTATE:4");
    EXPECT_EQ(receiveTcp(client, 5s), std::nullopt) << "closed by the repeater";
    EXPECT_GE(std::chrono::steady_clock::now() - accepted, 250ms);
    program.write("quit\n");
    ASSERT_TRUE(program.exited(5s));
    EXPECT_EQ(WEXITSTATUS(program.exitStatus()), 0);
}

} // namespace
} // namespace tavrel::emulator

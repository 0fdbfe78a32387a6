// A program the bench starts and talks to: control lines in, event lines out, exit observed to the moment.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace tavrel::bench {

struct ChildOutput {
    bool pipeStdout = false;  // the bench reads the child's standard output line by line
    std::string stdoutPath{}; // otherwise its output goes here ("/dev/null" when empty)
    std::string stderrPath{}; // "/dev/null" when empty
};

class ChildProcess {
public:
    // Starts argv[0] with a pipe on its standard input; nothing when the program cannot be started.
    static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                               const ChildOutput& output);

    // Ends the child if it still runs: its input is closed, then it is asked with SIGTERM and, when that is
    // not enough within a short time, killed.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    bool running() const { return !m_exited; }

    bool writeLine(std::string_view line);
    void closeInput();

    // The next line of the child's output, or nothing on time-out or end of output.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Skips lines until one starts with the prefix; returns the rest of that line.
    std::optional<std::string> waitForLine(std::string_view prefix, std::chrono::milliseconds timeout);

    // Waits for the exit; returns the CLOCK_MONOTONIC time (ns) it was seen, or nothing on time-out.
    std::optional<std::int64_t> waitForExit(std::chrono::milliseconds timeout);
    void signal(int number);

private:
    ChildProcess() = default;

    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_input = -1;
    int m_output = -1;
    bool m_exited = false;
    std::string m_pending;
};

} // namespace tavrel::bench

// A child process for tests: started with piped stdin and stdout, read line by line, reaped on destruction.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tavrel::test {

class ChildProcess {
public:
    // Starts program with the given arguments; workingDir empty keeps the test's own.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& workingDir = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }
    // The next line of output without its line end; empty when none came within the time-out.
    std::string readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Closes the child's stdin, which is its signal to end.
    void closeInput();
    void kill();
    // Waits for the end and returns the exit status (128 + signal when killed); -1 when it did not end in
    // time.
    int wait(std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
    int m_status = -1;
    std::string m_buffered;
};

} // namespace tavrel::test

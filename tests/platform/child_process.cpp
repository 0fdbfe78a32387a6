// Spawning and reading a child process for the multi-process platform tests.
#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavrel::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& workingDir) {
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0)
        return;
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        return;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::dup2(toChild[0], STDIN_FILENO);
        ::dup2(fromChild[1], STDOUT_FILENO);
        if (!workingDir.empty() && ::chdir(workingDir.c_str()) != 0)
            ::_exit(126);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    m_input = toChild[1];
    m_output = fromChild[0];
}

ChildProcess::~ChildProcess() {
    closeInput();
    if (m_pid > 0 && wait(std::chrono::seconds(5)) < 0) {
        kill();
        wait();
    }
    if (m_output >= 0)
        ::close(m_output);
}

std::string ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto end = m_buffered.find('\n');
        if (end != std::string::npos) {
            std::string line = m_buffered.substr(0, end);
            m_buffered.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (m_output < 0 || left.count() <= 0)
            return {};
        pollfd ready{m_output, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            return {};
        char chunk[256];
        const ssize_t got = ::read(m_output, chunk, sizeof chunk);
        if (got <= 0)
            return {};
        m_buffered.append(chunk, static_cast<std::size_t>(got));
    }
}

void ChildProcess::closeInput() {
    if (m_input >= 0) {
        ::close(m_input);
        m_input = -1;
    }
}

void ChildProcess::kill() {
    if (m_pid > 0 && m_status < 0)
        ::kill(m_pid, SIGKILL);
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (m_pid <= 0 || m_status >= 0)
        return m_status;
    // A pidfd becomes readable when the child ends, so the wait is one bounded poll.
    const int processFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    if (processFd >= 0) {
        pollfd ended{processFd, POLLIN, 0};
        ::poll(&ended, 1, static_cast<int>(timeout.count()));
        ::close(processFd);
    }
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid)
        return -1;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_status;
}

} // namespace tavrel::test

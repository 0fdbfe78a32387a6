// Starting a child with posix_spawn, its pipes, and watching its exit through a process descriptor.
#include "bench/child_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/proc_stats.h"

extern char** environ;

namespace tavrel::bench {
namespace {

constexpr std::chrono::milliseconds kGraceAfterInputClosed{2000};
constexpr std::chrono::milliseconds kGraceAfterTerm{2000};

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

int remainingMs(std::int64_t deadlineNs) {
    const std::int64_t left = deadlineNs - monotonicNs();
    return left <= 0 ? 0 : static_cast<int>((left + 999'999) / 1'000'000);
}

} // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  const ChildOutput& output) {
    int inputPipe[2] = {-1, -1};
    int outputPipe[2] = {-1, -1};
    if (::pipe2(inputPipe, O_CLOEXEC) != 0)
        return nullptr;
    if (output.pipeStdout && ::pipe2(outputPipe, O_CLOEXEC) != 0) {
        ::close(inputPipe[0]);
        ::close(inputPipe[1]);
        return nullptr;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inputPipe[0], STDIN_FILENO);
    if (output.pipeStdout)
        posix_spawn_file_actions_adddup2(&actions, outputPipe[1], STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO,
                                         output.stdoutPath.empty() ? "/dev/null" : output.stdoutPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO,
                                     output.stderrPath.empty() ? "/dev/null" : output.stderrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);

    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    const int failed = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(inputPipe[0]);
    if (output.pipeStdout)
        ::close(outputPipe[1]);
    if (failed != 0) {
        ::close(inputPipe[1]);
        if (output.pipeStdout)
            ::close(outputPipe[0]);
        return nullptr;
    }

    std::unique_ptr<ChildProcess> child(new ChildProcess);
    child->m_pid = pid;
    child->m_input = inputPipe[1];
    child->m_output = output.pipeStdout ? outputPipe[0] : -1;
    child->m_pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    return child;
}

ChildProcess::~ChildProcess() {
    closeInput();
    if (!m_exited && !waitForExit(kGraceAfterInputClosed)) {
        signal(SIGTERM);
        if (!waitForExit(kGraceAfterTerm)) {
            signal(SIGKILL);
            waitForExit(kGraceAfterTerm);
        }
    }
    closeFd(m_output);
    closeFd(m_pidFd);
}

bool ChildProcess::writeLine(std::string_view line) {
    if (m_input < 0)
        return false;
    std::string text(line);
    text += '\n';
    // A pipe write of this size is atomic; a child that has gone gives EPIPE (SIGPIPE is ignored).
    return ::write(m_input, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void ChildProcess::closeInput() {
    closeFd(m_input);
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const std::int64_t deadline = monotonicNs() + std::chrono::nanoseconds(timeout).count();
    for (;;) {
        if (const auto end = m_pending.find('\n'); end != std::string::npos) {
            std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return line;
        }
        if (m_output < 0)
            return std::nullopt;
        pollfd wait{m_output, POLLIN, 0};
        const int ready = ::poll(&wait, 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char buffer[4096];
        const ssize_t got = ::read(m_output, buffer, sizeof buffer);
        if (got <= 0) {
            closeFd(m_output);
            return std::nullopt;
        }
        m_pending.append(buffer, static_cast<std::size_t>(got));
    }
}

std::optional<std::string> ChildProcess::waitForLine(std::string_view prefix,
                                                     std::chrono::milliseconds timeout) {
    const std::int64_t deadline = monotonicNs() + std::chrono::nanoseconds(timeout).count();
    while (monotonicNs() < deadline) {
        const auto line = readLine(std::chrono::milliseconds(remainingMs(deadline)));
        if (!line)
            return std::nullopt;
        if (line->starts_with(prefix))
            return line->substr(prefix.size());
    }
    return std::nullopt;
}

std::optional<std::int64_t> ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    if (m_exited)
        return monotonicNs();
    const std::int64_t deadline = monotonicNs() + std::chrono::nanoseconds(timeout).count();
    for (;;) {
        if (m_pidFd >= 0) {
            pollfd wait{m_pidFd, POLLIN, 0};
            const int ready = ::poll(&wait, 1, remainingMs(deadline));
            if (ready < 0 && errno == EINTR)
                continue;
        }
        const std::int64_t seen = monotonicNs();
        int status = 0;
        const pid_t reaped = ::waitpid(m_pid, &status, WNOHANG);
        if (reaped == m_pid || (reaped < 0 && errno == ECHILD)) {
            m_exited = true;
            return seen;
        }
        if (seen >= deadline)
            return std::nullopt;
        if (m_pidFd < 0)
            ::usleep(1000); // no process descriptor: look again every millisecond
    }
}

void ChildProcess::signal(int number) {
    if (!m_exited)
        ::kill(m_pid, number);
}

} // namespace tavrel::bench

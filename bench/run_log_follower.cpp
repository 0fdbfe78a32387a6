// inotify on the run log: each time the tool appends, the new lines are read and stamped at once.
#include "bench/run_log_follower.h"

#include <cerrno>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "bench/load_lines.h"
#include "bench/proc_stats.h"

namespace tavrel::bench {
namespace {

constexpr int kStopCheckMs = 50;
constexpr std::string_view kRunLogMarker = ">> ";

} // namespace

RunLogFollower::RunLogFollower(std::string path) : m_path(std::move(path)) {
    const int inotifyFd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    const int fileFd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (inotifyFd < 0 || fileFd < 0 || ::inotify_add_watch(inotifyFd, m_path.c_str(), IN_MODIFY) < 0 ||
        ::lseek(fileFd, 0, SEEK_END) < 0) {
        if (inotifyFd >= 0)
            ::close(inotifyFd);
        if (fileFd >= 0)
            ::close(fileFd);
        return;
    }
    m_valid = true;
    m_thread = std::thread([this, inotifyFd, fileFd] {
        follow(inotifyFd, fileFd);
        ::close(inotifyFd);
        ::close(fileFd);
    });
}

RunLogFollower::~RunLogFollower() {
    stop();
}

void RunLogFollower::stop() {
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
}

void RunLogFollower::follow(int inotifyFd, int fileFd) {
    std::string pending;
    char events[4096];
    char buffer[1 << 16];
    while (!m_stop.load()) {
        pollfd wait{inotifyFd, POLLIN, 0};
        if (::poll(&wait, 1, kStopCheckMs) <= 0)
            continue;
        while (::read(inotifyFd, events, sizeof events) > 0) {
        }
        for (;;) {
            const ssize_t got = ::read(fileFd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            pending.append(buffer, static_cast<std::size_t>(got));
        }
        // Taken after reading, so a line is never stamped before it was in the file (at worst a little late).
        const std::int64_t seenNs = monotonicNs();
        std::size_t start = 0;
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start)) {
            const std::string_view line(pending.data() + start, end - start);
            start = end + 1;
            ++m_linesSeen;
            const auto marker = line.find(kRunLogMarker);
            if (marker == std::string_view::npos)
                continue;
            if (const auto numbered = parseLogLine(line.substr(marker + kRunLogMarker.size()))) {
                m_latencies.push_back(seenNs - numbered->sentNs);
                m_sequences.push_back(numbered->sequence);
            }
        }
        pending.erase(0, start);
    }
}

} // namespace tavrel::bench

// Follows the tool's run log as it grows and takes the moment each numbered line appears in it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace tavrel::bench {

class RunLogFollower {
public:
    // Starts following at the file's current end.
    explicit RunLogFollower(std::string path);
    ~RunLogFollower(); // stops and joins
    RunLogFollower(const RunLogFollower&) = delete;
    RunLogFollower& operator=(const RunLogFollower&) = delete;

    bool valid() const { return m_valid; }
    std::uint64_t linesSeen() const { return m_linesSeen.load(); }
    // Stops following; afterwards latenciesNs() holds, per numbered line in file order, appearance minus
    // sending.
    void stop();
    const std::vector<std::int64_t>& latenciesNs() const { return m_latencies; }
    const std::vector<std::uint64_t>& sequences() const { return m_sequences; }

private:
    void follow(int inotifyFd, int fileFd);

    std::string m_path;
    bool m_valid = false;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_linesSeen{0};
    std::vector<std::int64_t> m_latencies;
    std::vector<std::uint64_t> m_sequences;
    std::thread m_thread;
};

} // namespace tavrel::bench

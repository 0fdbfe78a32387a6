// Readings of the monotonic clock, the process's CPU time, /proc/<pid>/status and /proc/net/udp.
#include "bench/proc_stats.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include <arpa/inet.h>
#include <sys/resource.h>

namespace tavrel::bench {

std::int64_t monotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::int64_t processCpuMicros() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto micros = [](const timeval& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1'000'000 + t.tv_usec;
    };
    return micros(usage.ru_utime) + micros(usage.ru_stime);
}

std::optional<std::int64_t> procStatusKiB(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string key = field + ":";
    while (std::getline(status, line)) {
        if (!line.starts_with(key))
            continue;
        std::istringstream value(line.substr(key.size()));
        std::int64_t kib = 0;
        if (value >> kib)
            return kib;
    }
    return std::nullopt;
}

std::optional<UdpSocketState> udpSocketState(const std::string& address, int port) {
    in_addr binary{};
    if (::inet_pton(AF_INET, address.c_str(), &binary) != 1)
        return std::nullopt;
    // The kernel prints the address as the raw 32-bit word and the port in host order, both in hex.
    char local[32];
    std::snprintf(local, sizeof local, "%08X:%04X", binary.s_addr, static_cast<unsigned>(port));

    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line); // the column titles
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, localField, remote, state, queues, timer, retransmits, uid, timeout, inode, refs,
            pointer;
        std::int64_t drops = 0;
        if (!(fields >> slot >> localField >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode >> refs >> pointer >> drops))
            continue;
        if (localField != local)
            continue;
        UdpSocketState socketState;
        socketState.drops = drops;
        const auto colon = queues.find(':');
        if (colon != std::string::npos)
            socketState.receiveQueueBytes = std::stoll(queues.substr(colon + 1), nullptr, 16);
        return socketState;
    }
    return std::nullopt;
}

} // namespace tavrel::bench

// What the bench reads from the kernel: the monotonic clock, CPU time, peak memory and UDP socket queues.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <sys/types.h>

namespace tavrel::bench {

// CLOCK_MONOTONIC in nanoseconds: one clock for every process of a run, so stamps compare across them.
std::int64_t monotonicNs();

// User plus system CPU time of the calling process, in microseconds.
std::int64_t processCpuMicros();

// A "Vm..." field of /proc/<pid>/status in kibibytes (VmHWM, VmRSS); nothing when unreadable.
std::optional<std::int64_t> procStatusKiB(pid_t pid, const std::string& field);

// One bound IPv4 UDP socket as /proc/net/udp shows it.
struct UdpSocketState {
    std::int64_t receiveQueueBytes = 0; // what waits to be read
    std::int64_t drops = 0;             // datagrams the kernel threw away: the receive buffer was full
};

// The socket bound to address:port, if any.
std::optional<UdpSocketState> udpSocketState(const std::string& address, int port);

} // namespace tavrel::bench

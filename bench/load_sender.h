// Sends the numbered load at a steady rate (or as fast as the receiver takes it) from the repeater's address.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench/load_lines.h"
#include "platform/socket.h"

namespace tavrel::bench {

struct LoadStream {
    enum class Kind { LogLine, AirRecord };
    Kind kind = Kind::LogLine;
    std::string toAddress;
    int toPort = 0;
    double perSecond = 0;    // 0: no pacing, only flow control
    std::uint64_t count = 0; // numbers 1..count
    std::size_t lineBytes = kLogLineBytes;
    std::uint64_t sent = 0; // progress, kept by the sender
};

struct SendOptions {
    // The shortest sleep between two batches; 0 sends every datagram at its own moment (for latency).
    std::chrono::microseconds minTick{250};
    // Flow control: a stream waits while its receiver's socket queue holds more than this; 0: never.
    std::int64_t holdAboveQueueBytes = 0;
    // Asked about every 100 ms; false ends the sending early.
    std::function<bool()> keepGoing{};
    std::chrono::milliseconds timeLimit{30'000};
};

struct SendReport {
    double seconds = 0;
    std::int64_t maxLagNs = 0; // how far the sending fell behind its schedule at worst
    bool aborted = false;      // keepGoing said no
    bool timedOut = false;
    std::uint64_t sendErrors = 0;
};

class LoadSender {
public:
    // Sends from sourceAddress (any port), as the repeater would.
    explicit LoadSender(const std::string& sourceAddress);
    bool valid() const { return m_socket.valid(); }

    // Sends every stream's datagrams, interleaved, until all are sent, the time limit passes or keepGoing
    // says no.
    SendReport run(std::vector<LoadStream>& streams, const SendOptions& options);

private:
    Socket m_socket;
};

} // namespace tavrel::bench

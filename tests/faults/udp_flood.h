// A paced UDP flood for the fault tests: every datagram size in turn, as fast as the receiving socket takes
// them, with the kernel's queue and drop counters of that socket read from /proc.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace tavrel::test {

// What the kernel reports for one bound UDP socket of this network namespace.
struct UdpSocketState {
    std::size_t queuedBytes = 0; // rx_queue: memory charged for datagrams not yet read
    std::uint64_t drops = 0;     // datagrams the socket lost because its queue was full
};

// Reads the row of address:port in /proc/thread-self/net/udp; nothing when no socket is bound there.
std::optional<UdpSocketState> udpSocketState(const std::string& address, std::uint16_t port);

// The receive buffer a socket gets when it asks for `requested` bytes (the kernel caps and doubles it).
std::size_t grantedReceiveBuffer(std::size_t requested);

class UdpFlood {
public:
    // Fills the buffer with the datagram of the given size (the buffer holds at least that many bytes).
    using Filler = std::function<void(std::size_t size, char* bytes)>;

    static constexpr std::size_t kMaxDatagram = 65507;

    struct Result {
        std::size_t sent = 0; // datagrams handed to the kernel
        std::size_t sendErrors = 0;
        bool timedOut = false; // the receiver stopped taking datagrams before the end
        std::chrono::milliseconds duration{0};
    };

    // Starts sending sizes 0..kMaxDatagram to address:port at once, keeping the estimated queue of the
    // receiving socket within a quarter of its buffer so that the kernel drops nothing.
    UdpFlood(std::string address, std::uint16_t port, std::size_t receiveBuffer, Filler filler,
             std::chrono::seconds timeout);
    ~UdpFlood(); // stops sending and joins
    UdpFlood(const UdpFlood&) = delete;
    UdpFlood& operator=(const UdpFlood&) = delete;

    bool finished() const { return m_finished.load(); }
    // Valid once finished() is true.
    const Result& result() const { return m_result; }

private:
    void run();
    bool waitForRoom(std::size_t needed, std::chrono::steady_clock::time_point deadline);

    const std::string m_address;
    const std::uint16_t m_port;
    const std::size_t m_budget;
    const Filler m_filler;
    const std::chrono::seconds m_timeout;
    std::size_t m_sentSinceProbe = 0;
    std::size_t m_lastQueued = 0;
    Result m_result;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

} // namespace tavrel::test

// A paced UDP flood: one sender thread, pacing by the receiving socket's queue as /proc shows it.
#include "tests/faults/udp_flood.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/socket.h"

namespace tavrel::test {
namespace {

constexpr std::chrono::microseconds kProbePause{100};
// Kernel memory charged for one queued datagram, over-estimated: the data rounded up to a power of two
// plus the buffer head.
constexpr std::size_t chargeOf(std::size_t size) {
    return 2 * size + 2048;
}

std::size_t readSize(const char* path) {
    std::ifstream in(path);
    std::size_t value = 0;
    in >> value;
    return value;
}

} // namespace

std::optional<UdpSocketState> udpSocketState(const std::string& address, std::uint16_t port) {
    in_addr binary{};
    if (::inet_pton(AF_INET, address.c_str(), &binary) != 1)
        return std::nullopt;
    // The kernel prints the address as the 32-bit value in host order, then the port, both in hex.
    char local[32];
    std::snprintf(local, sizeof local, "%08X:%04X", binary.s_addr, port);

    std::ifstream table("/proc/thread-self/net/udp");
    std::string line;
    std::getline(table, line); // the column heads
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, localAddress, remote, state, queues, timer, retransmits, uid, timeout, inode, refs,
            pointer;
        std::uint64_t drops = 0;
        fields >> slot >> localAddress >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode >> refs >> pointer >> drops;
        if (!fields || localAddress != local)
            continue;
        const auto colon = queues.find(':');
        if (colon == std::string::npos)
            return std::nullopt;
        return UdpSocketState{std::stoul(queues.substr(colon + 1), nullptr, 16), drops};
    }
    return std::nullopt;
}

std::size_t grantedReceiveBuffer(std::size_t requested) {
    return 2 * std::min(requested, readSize("/proc/sys/net/core/rmem_max"));
}

UdpFlood::UdpFlood(std::string address, std::uint16_t port, std::size_t receiveBuffer, Filler filler,
                   std::chrono::seconds timeout)
    : m_address(std::move(address)), m_port(port), m_budget(receiveBuffer / 4), m_filler(std::move(filler)),
      m_timeout(timeout) {
    m_thread = std::thread([this] { run(); });
}

UdpFlood::~UdpFlood() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void UdpFlood::run() {
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + m_timeout;
    Socket sender = Socket::udp();
    sockaddr_in to{};
    std::vector<char> bytes(kMaxDatagram);
    if (sender.valid() && makeIPv4Address(m_address, m_port, to)) {
        for (std::size_t size = 0; size <= kMaxDatagram && !m_stop; ++size) {
            if (!waitForRoom(chargeOf(size), deadline)) {
                m_result.timedOut = true;
                break;
            }
            m_filler(size, bytes.data());
            const auto sent =
                ::sendto(sender.fd(), bytes.data(), size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            if (sent == static_cast<ssize_t>(size))
                ++m_result.sent;
            else
                ++m_result.sendErrors;
            m_sentSinceProbe += chargeOf(size);
        }
    } else {
        ++m_result.sendErrors;
    }
    m_result.duration =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    m_finished = true;
}

// Waits until the datagram fits into the budget, or the queue is empty (a datagram larger than the budget
// then still fits the buffer); false when the deadline passes or the flood is stopped first.
bool UdpFlood::waitForRoom(std::size_t needed, std::chrono::steady_clock::time_point deadline) {
    if (m_lastQueued + m_sentSinceProbe + needed <= m_budget)
        return true;
    for (;;) {
        const auto state = udpSocketState(m_address, m_port);
        if (!state)
            return false; // the receiver is gone
        m_lastQueued = state->queuedBytes;
        m_sentSinceProbe = 0;
        if (m_lastQueued + needed <= m_budget || m_lastQueued == 0)
            return true;
        if (m_stop || std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(kProbePause);
    }
}

} // namespace tavrel::test

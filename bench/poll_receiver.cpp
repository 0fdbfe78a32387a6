// The original design's polling receive loop, kept only as the bench's point of comparison.
#include "bench/poll_receiver.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <sys/select.h>
#include <sys/socket.h>

#include "bench/proc_stats.h"
#include "platform/socket.h"

namespace tavrel::bench {
namespace {

constexpr long kReadinessWaitMicros = 500;
constexpr int kLongestRunSeconds = 600;

void pollLoop(const std::string& address, int port, std::int64_t endNs,
              std::atomic<std::uint64_t>& datagrams) {
    Socket socket = Socket::udp();
    sockaddr_in local{};
    if (!socket.valid() || !makeIPv4Address(address, static_cast<std::uint16_t>(port), local) ||
        ::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::fprintf(stderr, "poll-receiver: cannot bind %s:%d\n", address.c_str(), port);
        return;
    }
    char slot[1024];
    while (monotonicNs() < endNs) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket.fd(), &readable);
        timeval wait{0, kReadinessWaitMicros};
        if (::select(socket.fd() + 1, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        if (::recvfrom(socket.fd(), slot, sizeof slot, 0, nullptr, nullptr) > 0)
            ++datagrams;
    }
}

} // namespace

int runPollReceiver(int argc, char** argv) {
    std::string address;
    std::vector<int> ports;
    int seconds = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--address") {
            address = value;
        } else if (name == "--ports") {
            std::istringstream list(value);
            for (std::string port; std::getline(list, port, ',');)
                ports.push_back(std::atoi(port.c_str()));
        } else if (name == "--seconds") {
            seconds = std::atoi(value.c_str());
        }
    }
    if (address.empty() || ports.empty() || seconds <= 0 || seconds > kLongestRunSeconds) {
        std::fprintf(stderr, "usage: poll-receiver --address A --ports P[,Q...] --seconds S (1..%d)\n",
                     kLongestRunSeconds);
        return 2;
    }

    std::atomic<std::uint64_t> datagrams{0};
    const std::int64_t startNs = monotonicNs();
    const std::int64_t cpuBefore = processCpuMicros();
    const std::int64_t endNs = startNs + static_cast<std::int64_t>(seconds) * 1'000'000'000;
    {
        std::vector<std::jthread> loops;
        for (const int port : ports)
            loops.emplace_back([&, port] { pollLoop(address, port, endNs, datagrams); });
    }
    const std::int64_t cpu = processCpuMicros() - cpuBefore;
    const std::int64_t wallMicros = (monotonicNs() - startNs) / 1000;
    std::printf("usage %lld %lld %llu\n", static_cast<long long>(cpu), static_cast<long long>(wallMicros),
                static_cast<unsigned long long>(datagrams.load()));
    std::fflush(stdout);
    return 0;
}

} // namespace tavrel::bench

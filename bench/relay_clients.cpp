// The relay clients' loop: connect, announce, then the window's periodic commands until stopped.
#include "bench/relay_clients.h"

#include <array>
#include <chrono>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/socket.h"
#include "protocol/om_commands.h"

namespace tavrel::bench {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Bounded even if the destructor is never reached.
constexpr auto kLongestRun = 10min;

} // namespace

RelayClients::RelayClients(const std::vector<std::uint16_t>& ports)
    : m_thread([this, ports] { run(ports); }) {}

RelayClients::~RelayClients() {
    m_stop = true;
    m_thread.join();
}

void RelayClients::run(std::vector<std::uint16_t> ports) {
    // Where the relays send their copies: drained and dropped.
    Socket sink = Socket::udp();
    const std::string destination = om::formatLogDestination("127.0.0.1", bindToFreePort(sink, "127.0.0.1"));

    std::vector<Socket> clients;
    for (const std::uint16_t port : ports) {
        Socket client = Socket::tcp();
        sockaddr_in to{};
        if (!makeIPv4Address("127.0.0.1", port, to) ||
            ::connect(client.fd(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0)
            continue;
        client.send(om::kHeartbeat);
        client.send(destination);
        clients.push_back(std::move(client));
    }
    m_connected = static_cast<int>(clients.size());

    const auto begin = Clock::now();
    auto nextHeartbeat = begin + 5s;
    auto nextQuery = begin + 2s;
    std::vector<pollfd> fds;
    for (const Socket& client : clients)
        fds.push_back({client.fd(), POLLIN, 0});
    fds.push_back({sink.fd(), POLLIN, 0});
    std::array<char, 4096> buffer{};
    while (!m_stop && Clock::now() - begin < kLongestRun) {
        if (::poll(fds.data(), fds.size(), 100) > 0)
            for (const pollfd& fd : fds)
                if (fd.revents != 0) [[maybe_unused]]
                    const ssize_t got = ::recv(fd.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        const auto now = Clock::now();
        const bool heartbeat = now >= nextHeartbeat;
        const bool query = now >= nextQuery;
        for (const Socket& client : clients) {
            if (heartbeat)
                client.send(om::kHeartbeat);
            if (query)
                client.send(om::kAlarmQuery);
        }
        if (heartbeat)
            nextHeartbeat += 5s;
        if (query)
            nextQuery += 2s;
    }
}

} // namespace tavrel::bench

// The link tests' repeater stand-in, over plain blocking-free POSIX sockets with poll time-outs.
#include "test_peer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>

namespace tavrel::test {
namespace {

using Clock = std::chrono::steady_clock;

// Polls one descriptor for input until the deadline; false on time-out.
bool waitReadable(int fd, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() < 0)
            return false;
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

TestPeer::TestPeer(std::string address, int backlog) : m_address(std::move(address)) {
    listen(backlog);
}

bool TestPeer::listen(int backlog) {
    m_listener = Socket::tcp();
    sockaddr_in where{};
    if (!m_listener.valid() || !m_listener.setOption(SOL_SOCKET, SO_REUSEADDR, 1) ||
        !makeIPv4Address(m_address, kPort, where) ||
        ::bind(m_listener.fd(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(m_listener.fd(), backlog) != 0) {
        m_listener.close();
        return false;
    }
    return true;
}

bool TestPeer::accept(std::chrono::milliseconds timeout) {
    if (!m_listener.valid() || !waitReadable(m_listener.fd(), Clock::now() + timeout))
        return false;
    Socket accepted(::accept4(m_listener.fd(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!accepted.valid())
        return false;
    m_connection = std::move(accepted);
    return true;
}

std::string TestPeer::read(std::size_t size, std::chrono::milliseconds timeout) {
    std::string bytes;
    const auto deadline = Clock::now() + timeout;
    while (m_connection.valid() && bytes.size() < size && waitReadable(m_connection.fd(), deadline)) {
        char buffer[4096];
        const std::size_t wanted = std::min(sizeof buffer, size - bytes.size());
        const ssize_t got = ::recv(m_connection.fd(), buffer, wanted, 0);
        if (got <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

std::string TestPeer::readUntilClosed(std::chrono::milliseconds timeout) {
    std::string bytes;
    const auto deadline = Clock::now() + timeout;
    while (m_connection.valid() && waitReadable(m_connection.fd(), deadline)) {
        char buffer[4096];
        const ssize_t got = ::recv(m_connection.fd(), buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

bool TestPeer::waitClosedByLink(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (m_connection.valid() && waitReadable(m_connection.fd(), deadline)) {
        char buffer[4096];
        const ssize_t got = ::recv(m_connection.fd(), buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EINTR))
            return true;
    }
    return false;
}

bool TestPeer::send(std::string_view bytes) {
    return m_connection.send(bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

bool hasTcpSocketTowards(std::string_view address, std::uint16_t port, int state) {
    in_addr raw{};
    const std::string text(address);
    if (::inet_pton(AF_INET, text.c_str(), &raw) != 1)
        return false;
    // The table prints the address as the raw 32-bit word in hex and the port in host order.
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "%08X:%04X", static_cast<unsigned>(raw.s_addr), port);
    char wantedState[8];
    std::snprintf(wantedState, sizeof wantedState, "%02X", state);

    std::ifstream table("/proc/net/tcp");
    std::string slot, local, remote, st;
    std::string rest;
    std::getline(table, rest); // header
    while (table >> slot >> local >> remote >> st) {
        std::getline(table, rest);
        if (remote == wanted && st == wantedState)
            return true;
    }
    return false;
}

} // namespace tavrel::test

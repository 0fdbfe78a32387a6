// Listening, accepting and reading with bounded waits (poll), for the window tests' repeater stand-in.
#include "tests/ui/om_peer.h"

#include <algorithm>

#include <poll.h>
#include <sys/socket.h>

namespace tavrel::test {
namespace {

bool waitReadable(int fd, std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(std::max<long>(left.count(), 0))) == 1; // 0: just look
}

void eraseAll(std::string& text, std::string_view what) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what))
        text.erase(at, what.size());
}

} // namespace

OmPeer::OmPeer(const std::string& address) : m_listener(Socket::tcp()) {
    sockaddr_in endpoint{};
    if (!m_listener.valid() || !m_listener.setOption(SOL_SOCKET, SO_REUSEADDR, 1) ||
        !makeIPv4Address(address, kPort, endpoint) ||
        ::bind(m_listener.fd(), reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) != 0 ||
        ::listen(m_listener.fd(), 4) != 0)
        m_listener.close();
}

bool OmPeer::accept(std::chrono::milliseconds timeout) {
    if (!m_listener.valid() || !waitReadable(m_listener.fd(), std::chrono::steady_clock::now() + timeout))
        return false;
    m_connection = Socket(::accept4(m_listener.fd(), nullptr, nullptr, SOCK_CLOEXEC));
    m_pending.clear();
    return m_connection.valid();
}

bool OmPeer::send(std::string_view bytes) const {
    return m_connection.send(bytes) == static_cast<ssize_t>(bytes.size());
}

std::optional<std::string> OmPeer::readThrough(std::string_view text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto at = m_pending.find(text); at != std::string::npos) {
            std::string through = m_pending.substr(0, at + text.size());
            m_pending.erase(0, at + text.size());
            return through;
        }
        if (!m_connection.valid() || !waitReadable(m_connection.fd(), deadline))
            return std::nullopt;
        char buffer[4096];
        const ssize_t got = ::recv(m_connection.fd(), buffer, sizeof buffer, 0);
        if (got <= 0)
            return std::nullopt;
        m_pending.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string withoutPeriodicCommands(std::string bytes) {
    eraseAll(bytes, "TEST_CHCU_TO_OAM:HEARTBEAT;");
    eraseAll(bytes, "TEST_CTRL_TO_CHCU:ALARMQUERY:");
    for (auto at = bytes.find("TEST_CTRL_TO_CHCU:SETLOGDST:UDP:"); at != std::string::npos;
         at = bytes.find("TEST_CTRL_TO_CHCU:SETLOGDST:UDP:")) {
        // The destination ends where the next command begins.
        auto end = bytes.find("TEST_", at + 1);
        bytes.erase(at, end == std::string::npos ? std::string::npos : end - at);
    }
    return bytes;
}

} // namespace tavrel::test

// The relay's sockets: the listener, the clients with their bounded queues, and the datagram copies.
#include "fleet/relay_endpoint.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include "fleet/datagram_port.h"
#include "link/om_link.h"

namespace tavrel {
namespace {

constexpr int kListenBacklog = 16;
// A window's commands are short; chunks per wake-up keep one busy client from holding up the loop.
constexpr std::size_t kReadChunkBytes = 1024;
constexpr int kChunksPerWake = 8;
// Refused addresses told once each, up to this many, so a scan cannot grow the list.
constexpr std::size_t kMaxToldStrangers = 1024;

std::optional<sockaddr_in> socketAddress(const HostPort& endpoint) {
    sockaddr_in address{};
    if (!makeIPv4Address(endpoint.address, endpoint.port, address))
        return std::nullopt;
    return address;
}

} // namespace

RelayEndpoint::RelayEndpoint(std::uint32_t owner, const WatchedRepeaterConfig& config, FleetContext& fleet,
                             RepeaterMetrics& metrics, RelayHooks hooks)
    : m_owner(owner), m_config(config), m_fleet(fleet), m_metrics(metrics), m_hooks(std::move(hooks)),
      m_copies(Socket::udp()) {
    m_copies.setNonBlocking(true);
}

RelayEndpoint::~RelayEndpoint() {
    m_fleet.timers.stop({m_owner, kFlushTimer});
    m_fleet.timers.stop({m_owner, kIdleTimer});
    for (auto& [id, client] : m_clients) // quietly: the repeater that carries the relay is going away
        if (client.token != 0)
            m_fleet.poller.remove(client.token, client.socket.fd());
    stopListening();
    m_metrics.relayed.store(false, std::memory_order_relaxed);
}

bool RelayEndpoint::reservePort() {
    m_reservation = Socket::tcp();
    if (!m_reservation.valid() || !m_reservation.setOption(SOL_SOCKET, SO_REUSEADDR, 1))
        return false;
    m_port = bindToPort(m_reservation, m_config.relayListen->address, m_config.relayListen->port);
    return m_port != 0;
}

std::string RelayEndpoint::open() {
    if (!reservePort() || !listen()) {
        const int error = errno;
        m_reservation.close();
        return "cannot listen on relay_listen " + m_config.relayListen->address + ":" +
               std::to_string(m_config.relayListen->port) + ": " + std::strerror(error);
    }
    m_metrics.relayed.store(true, std::memory_order_relaxed);
    if (!m_linkUp)
        stopListening(); // windows are refused (their connects fail) until the repeater's link is up
    return {};
}

bool RelayEndpoint::listen() {
    if (m_listener.valid())
        return true;
    Socket listener = Socket::tcp();
    sockaddr_in local{};
    if (!listener.valid() || !makeIPv4Address(m_config.relayListen->address, m_port, local))
        return false;
    // Beside the reservation; listening again after a loss is not held up either.
    listener.setOption(SOL_SOCKET, SO_REUSEADDR, 1);
    if (::bind(listener.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(listener.fd(), kListenBacklog) != 0 || !listener.setNonBlocking(true))
        return false;
    m_listenToken = m_fleet.poller.add(listener.fd(), EPOLLIN, [this](std::uint32_t) { acceptClients(); });
    if (m_listenToken == 0)
        return false;
    m_listener = std::move(listener);
    return true;
}

void RelayEndpoint::stopListening() {
    if (m_listenToken != 0)
        m_fleet.poller.remove(m_listenToken, m_listener.fd());
    m_listenToken = 0;
    m_listener.close();
}

void RelayEndpoint::onLinkUp() {
    m_linkUp = true;
    if (m_metrics.relayed.load(std::memory_order_relaxed) && !listen())
        say(std::string("relay cannot listen again: ") + std::strerror(errno));
}

void RelayEndpoint::onLinkDown() {
    m_linkUp = false;
    stopListening();
    // Closed, so that the windows show the loss and reconnect as they would to the repeater.
    while (!m_clients.empty())
        drop(m_clients.begin()->first, {});
    syncClientCount();
    armIdleCheck();
}

void RelayEndpoint::acceptClients() {
    for (;;) {
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        Socket socket(::accept4(m_listener.fd(), reinterpret_cast<sockaddr*>(&peer), &size,
                                SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket.valid())
            return; // none waiting (or a transient fault: the next connect wakes the listener again)
        const std::uint32_t address = ntohl(peer.sin_addr.s_addr);
        const std::string origin = dottedAddress(address) + ":" + std::to_string(ntohs(peer.sin_port));
        const bool stranger = !allowedBy(m_config.relayAllow, address);
        if (stranger || !m_linkUp || m_clients.size() >= m_config.relayMaxClients) {
            m_metrics.relayRefusedConnections.fetch_add(1, std::memory_order_relaxed);
            if (stranger && m_toldStrangers.size() < kMaxToldStrangers &&
                m_toldStrangers.insert(address).second)
                say("relay client " + origin + " refused: outside relay_allow (said once per address)");
            else if (!stranger)
                say("relay client " + origin + " refused: already " + std::to_string(m_clients.size()) +
                    " clients (relay_max_clients)");
            continue; // closed at once
        }
        socket.setOption(IPPROTO_TCP, TCP_NODELAY, 1);
        enableLinkKeepAlive(socket);
        const std::uint64_t id = m_nextClient++;
        Client& client = m_clients[id];
        client.address = address;
        client.origin = origin;
        client.lastBytes = m_fleet.steadyNow();
        client.token = m_fleet.poller.add(socket.fd(), EPOLLIN | EPOLLRDHUP,
                                          [this, id](std::uint32_t events) { onClientEvents(id, events); });
        client.socket = std::move(socket);
        if (client.token == 0) {
            drop(id, "cannot be watched");
            continue;
        }
        say("relay client " + origin + " connected");
        syncClientCount();
        armIdleCheck();
    }
}

void RelayEndpoint::onClientEvents(std::uint64_t id, std::uint32_t events) {
    const auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    Client& client = it->second;
    if ((events & EPOLLOUT) != 0 && !writeQueued(client)) {
        drop(id, "closed");
        return;
    }
    if ((events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0)
        readClient(id, client);
}

void RelayEndpoint::readClient(std::uint64_t id, Client& client) {
    std::array<char, kReadChunkBytes> buffer{};
    for (int chunk = 0; chunk < kChunksPerWake; ++chunk) {
        const ssize_t received = ::recv(client.socket.fd(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (received > 0) {
            client.lastBytes = m_fleet.steadyNow();
            for (const std::string& command :
                 client.splitter.feed(std::string_view(buffer.data(), static_cast<std::size_t>(received))))
                handleCommand(client, command);
            continue;
        }
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            break;
        // Closed by the window: what it sent last is whole now, as the repeater takes it on a close.
        if (const auto rest = client.splitter.flush())
            handleCommand(client, *rest);
        drop(id, "closed");
        return;
    }
    if (client.splitter.hasPending())
        armFlush();
}

void RelayEndpoint::handleCommand(Client& client, const std::string& command) {
    using Kind = RelayVerdict::Kind;
    const RelayVerdict verdict =
        judgeClientCommand(command, client.origin, m_config.relayAllow, m_config.relayCommands);
    switch (verdict.kind) {
    case Kind::Heartbeat:
        break;
    case Kind::LogDestination:
        client.logTo = socketAddress(*verdict.destination);
        break;
    case Kind::AirLogOn:
        client.airTo = socketAddress(*verdict.destination);
        client.wantsAirLog = true;
        break;
    case Kind::AirLogOff:
        client.wantsAirLog = false;
        break;
    case Kind::Refused:
        // A refused destination is told once per client: the window repeats SETLOGDST every second.
        if (verdict.destination) {
            if (!std::exchange(client.refusalTold, true))
                m_hooks.writeDown(verdict.record);
            return;
        }
        m_metrics.relayCommandsRefused.fetch_add(1, std::memory_order_relaxed);
        m_hooks.writeDown(verdict.record);
        return;
    case Kind::Pass:
        if (!verdict.record.empty()) {
            m_metrics.relayCommandsSent.fetch_add(1, std::memory_order_relaxed);
            m_hooks.writeDown(verdict.record);
        }
        m_hooks.sendToRepeater(command);
        return;
    }
    if (clientsWantAirLog() != m_wantedAirLog) {
        m_wantedAirLog = !m_wantedAirLog;
        m_hooks.airLogWishChanged();
    }
}

bool RelayEndpoint::clientsWantAirLog() const {
    for (const auto& [id, client] : m_clients)
        if (client.wantsAirLog)
            return true;
    return false;
}

std::size_t RelayEndpoint::clientsWithLogDestination() const {
    return static_cast<std::size_t>(std::count_if(m_clients.begin(), m_clients.end(), [](const auto& entry) {
        return entry.second.logTo.has_value();
    }));
}

void RelayEndpoint::onRepeaterBytes(std::string_view bytes) {
    std::vector<std::uint64_t> full;
    for (auto& [id, client] : m_clients)
        if (!deliver(client, bytes))
            full.push_back(id);
    for (const std::uint64_t id : full)
        drop(id, "dropped: it does not read what the repeater sends (" +
                     std::to_string(kClientQueueBytes / 1024) + " KiB waiting)");
}

bool RelayEndpoint::deliver(Client& client, std::string_view bytes) {
    if (client.queue.empty()) {
        const ssize_t sent = client.socket.send(bytes.data(), bytes.size(), MSG_DONTWAIT);
        if (sent == static_cast<ssize_t>(bytes.size()))
            return true;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return true; // a broken connection: its reading sees the loss and drops it
        bytes.remove_prefix(sent > 0 ? static_cast<std::size_t>(sent) : 0);
        m_fleet.poller.modify(client.token, client.socket.fd(), EPOLLIN | EPOLLRDHUP | EPOLLOUT);
    }
    if (client.queue.size() + bytes.size() > kClientQueueBytes)
        return false;
    client.queue.append(bytes);
    return true;
}

bool RelayEndpoint::writeQueued(Client& client) {
    while (!client.queue.empty()) {
        const ssize_t sent = client.socket.send(client.queue.data(), client.queue.size(), MSG_DONTWAIT);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        client.queue.erase(0, static_cast<std::size_t>(sent));
    }
    return m_fleet.poller.modify(client.token, client.socket.fd(), EPOLLIN | EPOLLRDHUP);
}

void RelayEndpoint::drop(std::uint64_t id, const std::string& why) {
    const auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    Client& client = it->second;
    if (!why.empty())
        say("relay client " + client.origin + " " + why);
    if (client.token != 0)
        m_fleet.poller.remove(client.token, client.socket.fd());
    m_clients.erase(it); // closes the socket
    syncClientCount();
    if (clientsWantAirLog() != m_wantedAirLog) {
        m_wantedAirLog = !m_wantedAirLog;
        m_hooks.airLogWishChanged();
    }
}

void RelayEndpoint::copyDatagram(std::span<const char> bytes, bool air) {
    for (const auto& [id, client] : m_clients) {
        const auto& to = air ? (client.wantsAirLog ? client.airTo : std::nullopt) : client.logTo;
        if (to) // a copy the kernel cannot take now is lost, as on the repeater's own path
            ::sendto(m_copies.fd(), bytes.data(), bytes.size(), MSG_DONTWAIT,
                     reinterpret_cast<const sockaddr*>(&*to), sizeof *to);
    }
}

void RelayEndpoint::armFlush() {
    const TimerSchedule::Key key{m_owner, kFlushTimer};
    if (!m_fleet.timers.active(key))
        m_fleet.timers.start(key, m_fleet.steadyNow() + om::CommandSplitter::kQuietGap);
}

void RelayEndpoint::onTimer(int id) {
    if (id == kFlushTimer)
        flushQuietCommands();
    else if (id == kIdleTimer)
        closeUnheardClients();
}

void RelayEndpoint::flushQuietCommands() {
    const auto now = m_fleet.steadyNow();
    bool pending = false;
    for (auto& [id, client] : m_clients) {
        if (!client.splitter.hasPending())
            continue;
        if (now - client.lastBytes >= om::CommandSplitter::kQuietGap) {
            if (const auto command = client.splitter.flush())
                handleCommand(client, *command);
        } else {
            pending = true;
        }
    }
    if (pending)
        armFlush();
}

void RelayEndpoint::armIdleCheck() {
    const auto oldest =
        std::min_element(m_clients.begin(), m_clients.end(), [](const auto& a, const auto& b) {
            return a.second.lastBytes < b.second.lastBytes;
        });
    const TimerSchedule::Key key{m_owner, kIdleTimer};
    if (oldest == m_clients.end())
        m_fleet.timers.stop(key);
    else
        m_fleet.timers.start(key, oldest->second.lastBytes + kIdleLimit);
}

void RelayEndpoint::closeUnheardClients() {
    const auto now = m_fleet.steadyNow();
    std::vector<std::uint64_t> unheard;
    for (const auto& [id, client] : m_clients)
        if (now - client.lastBytes >= kIdleLimit)
            unheard.push_back(id);
    for (const std::uint64_t id : unheard)
        drop(id, "closed: nothing heard for " + std::to_string(kIdleLimit.count()) + " s");
    armIdleCheck();
}

void RelayEndpoint::syncClientCount() {
    m_metrics.relayClients.store(m_clients.size(), std::memory_order_relaxed);
}

void RelayEndpoint::say(const std::string& text) const {
    if (m_fleet.say)
        m_fleet.say(m_config.name + ": " + text);
}

} // namespace tavrel

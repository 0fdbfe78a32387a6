// Accepts scrapes, reads one request head, answers it whole and closes: Prometheus opens a connection per
// scrape or keeps one open, and both work with "Connection: close".
#include "fleet/metrics_server.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>

namespace tavrel {
namespace {

constexpr std::size_t kMaxRequestBytes = 8192;
// More scrapers than this at once are turned away rather than let to grow the list.
constexpr std::size_t kMaxClients = 64;
constexpr int kListenBacklog = 16;
constexpr int kSendBufferBytes = 4 * 1024 * 1024;

std::string response(std::string_view status, std::string_view type, const std::string& body) {
    std::string text = "HTTP/1.1 " + std::string(status) + "\r\nContent-Type: " + std::string(type) +
                       "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    return text + body;
}

} // namespace

MetricsServer::MetricsServer(EventPoller& poller, Render render)
    : m_poller(poller), m_render(std::move(render)) {}

MetricsServer::~MetricsServer() {
    while (!m_clients.empty())
        close(m_clients.begin()->first);
    if (m_token != 0)
        m_poller.remove(m_token, m_listener.fd());
}

std::string MetricsServer::open(const std::string& address, std::uint16_t port) {
    const std::string where = "metrics_listen port " + std::to_string(port) + " on " + address;
    Socket listener = Socket::tcp();
    sockaddr_in local{};
    if (!listener.valid() || !makeIPv4Address(address, port, local))
        return "cannot open the " + where + ": " + std::strerror(errno);
    listener.setOption(SOL_SOCKET, SO_REUSEADDR, 1); // a restart is not held up by closing scrapes
    if (::bind(listener.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(listener.fd(), kListenBacklog) != 0) {
        const int error = errno;
        return error == EADDRINUSE ? "the " + where + " is already in use"
                                   : "cannot listen on the " + where + ": " + std::strerror(error);
    }
    listener.setNonBlocking(true);
    socklen_t size = sizeof local;
    ::getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&local), &size);
    m_token = m_poller.add(listener.fd(), EPOLLIN, [this](std::uint32_t) { acceptClients(); });
    if (m_token == 0)
        return "cannot watch the " + where + ": " + std::strerror(errno);
    m_port = ntohs(local.sin_port);
    m_listener = std::move(listener);
    return {};
}

void MetricsServer::acceptClients() {
    for (;;) {
        Socket accepted(::accept4(m_listener.fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!accepted.valid())
            return;
        if (m_clients.size() >= kMaxClients)
            continue; // closed at once
        // Room for a whole answer (about 800 KiB for 1,000 repeaters), so it leaves in one send rather than
        // in pieces that each wait for a turn of the event loop.
        accepted.setOption(SOL_SOCKET, SO_SNDBUF, kSendBufferBytes);
        const int id = m_nextId++;
        auto client = std::make_unique<Client>();
        client->socket = std::move(accepted);
        client->token = m_poller.add(client->socket.fd(), EPOLLIN | EPOLLRDHUP,
                                     [this, id](std::uint32_t events) { onClient(id, events); });
        if (client->token != 0)
            m_clients.emplace(id, std::move(client));
    }
}

void MetricsServer::onClient(int id, std::uint32_t events) {
    const auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    Client& client = *it->second;
    if (client.reply.empty()) {
        char buffer[2048];
        const ssize_t got = ::recv(client.socket.fd(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (got <= 0 || client.request.size() + static_cast<std::size_t>(got) > kMaxRequestBytes) {
            close(id);
            return;
        }
        client.request.append(buffer, static_cast<std::size_t>(got));
        if (client.request.find("\r\n\r\n") == std::string::npos &&
            client.request.find("\n\n") == std::string::npos)
            return;
        client.reply = answer(client.request);
        m_poller.modify(client.token, client.socket.fd(), EPOLLOUT);
    } else if ((events & (EPOLLERR | EPOLLHUP)) != 0) {
        close(id);
        return;
    }
    const ssize_t sent = client.socket.send(client.reply.data() + client.sent,
                                            client.reply.size() - client.sent, MSG_DONTWAIT);
    if (sent < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (sent > 0)
        client.sent += static_cast<std::size_t>(sent);
    if (sent <= 0 || client.sent == client.reply.size())
        close(id);
}

std::string MetricsServer::answer(const std::string& request) const {
    const std::string line = request.substr(0, request.find_first_of("\r\n"));
    if (!line.starts_with("GET "))
        return response("405 Method Not Allowed", "text/plain", "only GET\n");
    const auto pathEnd = line.find(' ', 4);
    const std::string path = line.substr(4, pathEnd == std::string::npos ? std::string::npos : pathEnd - 4);
    if (path == "/metrics" || path.starts_with("/metrics?"))
        return response("200 OK", kMetricsContentType, m_render());
    if (path == "/")
        return response("200 OK", "text/plain", "tavrel-collector: metrics at /metrics\n");
    return response("404 Not Found", "text/plain", "not found\n");
}

void MetricsServer::close(int id) {
    const auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    m_poller.remove(it->second->token, it->second->socket.fd());
    m_clients.erase(it);
}

} // namespace tavrel

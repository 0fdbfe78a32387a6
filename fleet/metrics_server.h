// A small HTTP/1.x responder on the fleet's poller that answers GET /metrics with the exposition text, built
// on the event loop's thread at the moment of the scrape.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/event_poller.h"
#include "platform/socket.h"

namespace tavrel {

inline constexpr std::string_view kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

class MetricsServer {
public:
    using Render = std::function<std::string()>;

    MetricsServer(EventPoller& poller, Render render);
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Listens on address:port (0: any free port); a message naming the port when that fails.
    std::string open(const std::string& address, std::uint16_t port);
    std::uint16_t port() const { return m_port; }
    std::size_t clientCount() const { return m_clients.size(); }

private:
    struct Client {
        Socket socket;
        EventPoller::Token token = 0;
        std::string request;
        std::string reply;
        std::size_t sent = 0;
    };

    void acceptClients();
    void onClient(int id, std::uint32_t events);
    std::string answer(const std::string& request) const;
    void close(int id);

    EventPoller& m_poller;
    Render m_render;
    Socket m_listener;
    EventPoller::Token m_token = 0;
    std::uint16_t m_port = 0;
    std::map<int, std::unique_ptr<Client>> m_clients;
    int m_nextId = 1;
};

} // namespace tavrel

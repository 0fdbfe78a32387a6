// GET /metrics over HTTP on loopback: the Prometheus text format's content type and the fleet's series; other
// paths and methods are turned away; a taken metrics port is named.
#include <cerrno>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include "fleet/fleet_collector.h"
#include "tests/fleet/fleet_fixture.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;

// One HTTP/1.0 request; the whole answer (headers and body) as the server sent it.
std::string httpGet(std::uint16_t port, const std::string& path) {
    Socket socket = Socket::tcp();
    sockaddr_in server{};
    if (!makeIPv4Address("127.0.0.1", port, server) ||
        ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
        return "no connection: " + std::to_string(errno);
    socket.send("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    std::string answer;
    char buffer[4096];
    pollfd waitFor{socket.fd(), POLLIN, 0};
    while (::poll(&waitFor, 1, 5000) > 0) {
        const ssize_t got = ::recv(socket.fd(), buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    return answer;
}

class MetricsEndpoint : public test::FleetFixture {
protected:
    // The client runs on a thread of its own; the collector answers in this thread's event loop.
    std::string scrape(const std::string& path) {
        auto answer = std::async(std::launch::async,
                                 [port = *m_collector->metricsPort(), path] { return httpGet(port, path); });
        EXPECT_TRUE(test::waitUntil([&] { return answer.wait_for(0s) == std::future_status::ready; }));
        return answer.get();
    }
};

TEST_F(MetricsEndpoint, ServesTheTextFormatWithEveryConfiguredRepeater) {
    FleetCollector& collector =
        start({{"north-hill", "127.0.11.21", false}, {"south", "127.0.11.22", false}}, true);
    ASSERT_TRUE(collector.metricsPort());
    collector.find("south")->metrics()->logLines = 5;
    const std::string text = scrape("/metrics");
    EXPECT_TRUE(text.starts_with("HTTP/1.1 200 OK\r\n")) << text.substr(0, 200);
    EXPECT_NE(text.find("\r\nContent-Type: text/plain; version=0.0.4"), std::string::npos)
        << text.substr(0, 300);
    EXPECT_NE(text.find("\ntavrel_repeater_up{repeater=\"north-hill\"} 0\n"), std::string::npos);
    EXPECT_NE(text.find("\ntavrel_log_lines_received_total{repeater=\"south\"} 5\n"), std::string::npos);
    EXPECT_NE(text.find("\ntavrel_build_info{version=\"" TAVREL_VERSION "\"} 1\n"), std::string::npos);
    const auto body = text.find("\r\n\r\n") + 4;
    EXPECT_NE(text.find("\r\nContent-Length: " + std::to_string(text.size() - body) + "\r\n"),
              std::string::npos);

    EXPECT_TRUE(scrape("/other").starts_with("HTTP/1.1 404 Not Found\r\n"));
    EXPECT_EQ(m_collector->find("south")->metrics()->logLines, 5u);
}

TEST_F(MetricsEndpoint, ATakenPortIsNamed) {
    Socket taken = Socket::tcp();
    sockaddr_in local{};
    ASSERT_TRUE(makeIPv4Address("127.0.0.1", 0, local));
    taken.setOption(SOL_SOCKET, SO_REUSEADDR, 1);
    ASSERT_EQ(::bind(taken.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
    ASSERT_EQ(::listen(taken.fd(), 1), 0);
    socklen_t size = sizeof local;
    ::getsockname(taken.fd(), reinterpret_cast<sockaddr*>(&local), &size);
    CollectorConfig config = makeConfig({});
    config.metricsPort = ntohs(local.sin_port);
    FleetCollector collector(config, {});
    EXPECT_EQ(collector.start(), "the metrics_listen port " + std::to_string(config.metricsPort) +
                                     " on 127.0.0.1 is already in use");
}

} // namespace
} // namespace tavrel

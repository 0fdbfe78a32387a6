// GET /metrics over HTTP on loopback: the Prometheus text format's content type and the fleet's series; other
// paths and methods are turned away; a taken metrics port is named; idle, dripping, crowding and oversized
// clients on 127.0.23.x do not keep scrapes from being answered; basic auth and a web config read again.
#include <QByteArray>

#include <cerrno>
#include <crypt.h>
#include <fstream>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include "fleet/fleet_collector.h"
#include "tests/fleet/fleet_fixture.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;

// A connection to the collector's port from a loopback source address; invalid when refused.
Socket connectFrom(const std::string& source, std::uint16_t port) {
    Socket socket = Socket::tcp();
    sockaddr_in local{};
    sockaddr_in server{};
    if (!makeIPv4Address(source, 0, local) || !makeIPv4Address("127.0.0.1", port, server) ||
        ::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
        return Socket();
    return socket;
}

// One request as given; the whole answer (headers and body) as the server sent it until it closed.
std::string httpExchange(std::uint16_t port, const std::string& request,
                         const std::string& source = "127.0.0.1") {
    Socket socket = connectFrom(source, port);
    if (!socket.valid())
        return "no connection: " + std::to_string(errno);
    socket.send(request);
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

// True once the server closed the connection (end of file or reset), without waiting.
bool closedByServer(const Socket& socket) {
    char byte = 0;
    const ssize_t got = ::recv(socket.fd(), &byte, 1, MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN);
}

std::string basicAuth(const std::string& credentials) {
    return "Authorization: Basic " + QByteArray::fromStdString(credentials).toBase64().toStdString() + "\r\n";
}

class MetricsEndpoint : public test::FleetFixture {
protected:
    // The client runs on a thread of its own; the collector answers in this thread's event loop.
    std::string scrape(const std::string& path) {
        return send("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    }
    std::string send(const std::string& request, const std::string& source = "127.0.0.1") {
        auto answer = std::async(std::launch::async, [port = *m_collector->metricsPort(), request, source] {
            return httpExchange(port, request, source);
        });
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
    taken.setOption(SOL_SOCKET, SO_REUSEADDR, 1);
    const std::uint16_t port = bindToFreePort(taken, "127.0.0.1");
    ASSERT_NE(port, 0);
    ASSERT_EQ(::listen(taken.fd(), 1), 0);
    CollectorConfig config = makeConfig({});
    config.metricsPort = port;
    FleetCollector collector(config, {});
    EXPECT_EQ(collector.start(), "the metrics_listen port " + std::to_string(config.metricsPort) +
                                     " on 127.0.0.1 is already in use");
}

TEST_F(MetricsEndpoint, IdleDrippingAndCrowdingClientsDoNotStopScrapes) {
    FleetCollector& collector = start({{"north-hill", "127.0.23.2", false}}, true);
    const std::uint16_t port = *collector.metricsPort();
    std::vector<Socket> idle;
    std::vector<Socket> dripping;
    const std::string head = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: slow\r\n";
    for (int i = 0; i < 220; ++i) {
        Socket socket = connectFrom("127.0.23." + std::to_string(10 + i % 10), port);
        ASSERT_TRUE(socket.valid()) << i;
        (i < 200 ? idle : dripping).push_back(std::move(socket));
        if (i % 16 == 0)
            QCoreApplication::processEvents();
    }
    for (std::size_t round = 0; round < 10; ++round) {
        for (Socket& socket : dripping)
            socket.send(head.substr(round, 1));
        const std::string text = scrape("/metrics");
        ASSERT_TRUE(text.starts_with("HTTP/1.1 200 OK\r\n")) << round << ": " << text.substr(0, 100);
        EXPECT_NE(text.find("tavrel_repeater_up{repeater=\"north-hill\"}"), std::string::npos);
    }
    EXPECT_EQ(std::count_if(idle.begin(), idle.end(), closedByServer), 0);

    // One address gets at most its share; the others are still served.
    std::vector<Socket> crowd;
    for (unsigned i = 0; i <= HttpLimits{}.maxPerAddress; ++i) {
        crowd.push_back(connectFrom("127.0.23.30", port));
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(test::waitUntil([&] { return closedByServer(crowd.back()); }));
    EXPECT_EQ(std::count_if(crowd.begin(), crowd.end() - 1, closedByServer), 0);
    EXPECT_TRUE(scrape("/metrics").starts_with("HTTP/1.1 200 OK\r\n"));
}

TEST_F(MetricsEndpoint, AnswersEachMethodAndRefusesOversizedHeads) {
    start({}, true);
    struct Case {
        std::string request;
        std::string statusLine;
        std::string header; // in the answer's head
        bool body;
    };
    const std::string host = " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    const std::vector<Case> cases{
        {"GET /metrics" + host + "\r\n", "HTTP/1.1 200 OK", "Content-Type: text/plain; version=0.0.4", true},
        {"HEAD /metrics" + host + "\r\n", "HTTP/1.1 200 OK", "Content-Type: text/plain; version=0.0.4",
         false},
        {"HEAD /" + host + "\r\n", "HTTP/1.1 200 OK", "Content-Type: text/plain", false},
        {"POST /metrics" + host + "Content-Length: 3\r\n\r\nabc", "HTTP/1.1 405", "Allow: GET, HEAD", true},
        {"DELETE /" + host + "\r\n", "HTTP/1.1 405", "Allow: GET, HEAD", true},
        {"GET /metrics" + host + "X-Filler: " + std::string(64 * 1024, 'a') + "\r\n\r\n", "HTTP/1.1 4", "",
         false},
    };
    for (const Case& c : cases) {
        const std::string text = send(c.request);
        const auto headEnd = text.find("\r\n\r\n");
        EXPECT_TRUE(text.starts_with(c.statusLine)) << c.request.substr(0, 20) << ": " << text.substr(0, 80);
        EXPECT_NE(text.substr(0, headEnd).find(c.header), std::string::npos) << c.request.substr(0, 20);
        EXPECT_EQ(text.find("tavrel_build_info") != std::string::npos, c.body && c.statusLine.ends_with("OK"))
            << c.request.substr(0, 20);
    }
}

TEST_F(MetricsEndpoint, AnIdleConnectionIsClosedAfterTheTimeOut) {
    m_httpLimits.idleTimeoutSeconds = 1;
    start({}, true);
    const Socket idle = connectFrom("127.0.23.3", *m_collector->metricsPort());
    QCoreApplication::processEvents();
    EXPECT_FALSE(closedByServer(idle));
    EXPECT_TRUE(test::waitUntil([&] { return closedByServer(idle); }));
}

// A bcrypt hash of the password at the lowest cost, as htpasswd -nB makes it at a higher one.
std::string bcrypt(const std::string& password) {
    crypt_data data{};
    const char* setting = crypt_gensalt_rn("$2y$", 4, nullptr, 0, data.setting, sizeof data.setting);
    return setting ? crypt_rn(password.c_str(), setting, &data, sizeof data) : "";
}

TEST_F(MetricsEndpoint, BasicAuthAndAWebConfigReadAgainWhenItChanges) {
    m_webConfig = m_dir.path() + "/web.yml";
    const auto writeWeb = [&](const std::string& text) { std::ofstream(m_webConfig) << text; };
    writeWeb("basic_auth_users:\n  prometheus: " + bcrypt("right") +
             "\nhttp_server_config:\n  headers:\n    X-Frame-Options: deny\n");
    start({}, true);
    const std::string get = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", "HTTP/1.1 401"},
        {basicAuth("prometheus:wrong"), "HTTP/1.1 401"},
        {basicAuth("nobody:right"), "HTTP/1.1 401"},
        {basicAuth("prometheus:right"), "HTTP/1.1 200 OK"},
        {basicAuth("prometheus:right"), "HTTP/1.1 200 OK"}, // from the cache
    };
    for (const auto& [credentials, status] : cases) {
        const std::string text = send(get + credentials + "\r\n");
        EXPECT_TRUE(text.starts_with(status)) << credentials << ": " << text.substr(0, 80);
        EXPECT_NE(text.find("\r\nX-Frame-Options: deny\r\n"), std::string::npos) << credentials;
        if (status.ends_with("401")) {
            EXPECT_NE(text.find("\r\nWWW-Authenticate: Basic realm=\"tavrel-collector\"\r\n"),
                      std::string::npos);
        }
    }

    writeWeb("basic_auth_users:\n  prometheus: " + bcrypt("renewed") + "\n");
    advance(kWebConfigCheckPeriod);
    EXPECT_TRUE(send(get + basicAuth("prometheus:right") + "\r\n").starts_with("HTTP/1.1 401"));
    EXPECT_TRUE(send(get + basicAuth("prometheus:renewed") + "\r\n").starts_with("HTTP/1.1 200 OK"));

    writeWeb("basic_auth_users:\n  prometheus: not-a-hash\n");
    advance(kWebConfigCheckPeriod);
    EXPECT_NE(m_said.back().find("web config not reloaded, the running one stays: " + m_webConfig +
                                 ": basic_auth_users.prometheus is not a bcrypt hash"),
              std::string::npos)
        << m_said.back();
    EXPECT_TRUE(send(get + basicAuth("prometheus:renewed") + "\r\n").starts_with("HTTP/1.1 200 OK"));
    EXPECT_TRUE(test::waitUntil([&] { return m_collector->metricsServer().daemonCount() == 1; }));
}

} // namespace
} // namespace tavrel

// The relay's endpoint on loopback with the repeater's side played by the test: who is served, what each
// client's commands become, the datagrams' copies, and clients that are idle, slow or hostile.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "fleet/relay_endpoint.h"
#include "protocol/om_command_splitter.h"
#include "protocol/om_commands.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;
using Clock = TimerSchedule::Clock;

constexpr const char* kRelayAddress = "127.0.25.1";

// A window's end of a relay connection, from a chosen loopback address.
struct Client {
    Socket socket = Socket::tcp();

    bool connect(const std::string& from, std::uint16_t port, int receiveBuffer = 0) {
        sockaddr_in local{};
        sockaddr_in to{};
        if (receiveBuffer > 0)
            socket.setOption(SOL_SOCKET, SO_RCVBUF, receiveBuffer);
        return makeIPv4Address(from, 0, local) && makeIPv4Address(kRelayAddress, port, to) &&
               ::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 &&
               ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
    }
    void send(std::string_view text) const { socket.send(text); }
    // What has arrived without waiting; nothing more when the relay closed the connection (closed set).
    std::string take(bool* closed = nullptr) const {
        std::string got;
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(socket.fd(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                got.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (closed)
                *closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
            return got;
        }
    }
};

// A UDP port where a window would take the log copies.
struct Receiver {
    Socket socket = Socket::udp();
    std::uint16_t port = 0;
    Receiver() {
        port = bindToFreePort(socket, "127.0.0.1");
        socket.setNonBlocking(true);
    }
    std::vector<std::string> take() const {
        std::vector<std::string> got;
        char buffer[2048];
        for (ssize_t n; (n = ::recv(socket.fd(), buffer, sizeof buffer, 0)) > 0;)
            got.emplace_back(buffer, static_cast<std::size_t>(n));
        return got;
    }
};

class RelayEndpointTest : public ::testing::Test {
protected:
    void open(std::vector<Cidr> allow = loopbackOnly(), bool commandsOn = true, std::size_t maxClients = 8) {
        m_config.name = "hill";
        m_config.relayListen = HostPort{kRelayAddress, 0};
        m_config.relayAllow = std::move(allow);
        m_config.relayCommands = commandsOn;
        m_config.relayMaxClients = maxClients;
        m_relay = std::make_unique<RelayEndpoint>(
            7, m_config, m_context, m_metrics,
            RelayHooks{[this](std::string_view text) {
                           m_sent.emplace_back(text);
                           return true;
                       },
                       [this](std::string_view line) { m_written.emplace_back(line); },
                       [this] { m_wishes.push_back(m_relay->clientsWantAirLog()); }});
        ASSERT_EQ(m_relay->open(), "");
        m_relay->onLinkUp();
    }

    // Runs the poller until the condition holds (the sockets' own pace; no timer is waited for).
    bool pump(const std::function<bool()>& condition) {
        for (int i = 0; i < 2000; ++i) {
            m_poller.dispatch();
            if (condition())
                return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    // The clients' open commands are ended as the quiet gap passes on the stepped clock.
    void quietGap() {
        const TimerSchedule::Key key{7, RelayEndpoint::kFlushTimer};
        ASSERT_TRUE(pump([&] { return m_timers.active(key); }));
        m_now += om::CommandSplitter::kQuietGap;
        ASSERT_EQ(m_timers.takeDue(m_now), key);
        m_relay->onTimer(RelayEndpoint::kFlushTimer);
    }

    Client connected(const std::string& from = "127.0.0.1") {
        Client client;
        const std::size_t before = m_relay->clientCount();
        EXPECT_TRUE(client.connect(from, m_relay->port()));
        EXPECT_TRUE(pump([&] { return m_relay->clientCount() == before + 1; }));
        return client;
    }

    int said(const std::string& part) const {
        return static_cast<int>(std::count_if(m_said.begin(), m_said.end(),
                                              [&](const auto& s) { return s.find(part) != s.npos; }));
    }

    EventPoller m_poller;
    TimerSchedule m_timers;
    Clock::time_point m_now = Clock::now();
    std::mt19937 m_random{1};
    std::vector<std::string> m_said;
    FleetContext m_context{m_poller,
                           m_timers,
                           [this] { return m_now; },
                           WallClock::now,
                           {},
                           m_random,
                           "127.0.0.1",
                           1,
                           2,
                           "",
                           false,
                           [this](const std::string& text) { m_said.push_back(text); }};
    WatchedRepeaterConfig m_config;
    RepeaterMetrics m_metrics{"hill"};
    std::vector<std::string> m_sent;
    std::vector<std::string> m_written;
    std::vector<bool> m_wishes;
    std::unique_ptr<RelayEndpoint> m_relay;
};

// Each client command becomes what the relay's rules say, whole even when split across reads; commands that
// stay open (with arguments) are ended by the quiet gap, as the repeater ends them.
TEST_F(RelayEndpointTest, PassesTakesAndWritesDownEachCommand) {
    open();
    Client window = connected();
    Receiver logs;
    const std::string destination = om::formatLogDestination("127.0.0.1", logs.port);
    window.send(std::string(om::kHeartbeat) + destination + "TEST_CTRL_TO_CHCU:SHOW");
    window.send(std::string("SWVER:") + std::string(om::kAlarmQuery));
    window.send(om::formatSwitchChannel(12));
    ASSERT_TRUE(pump([&] { return m_sent.size() == 2 && m_relay->clientsWithLogDestination() == 1; }));
    EXPECT_EQ(m_sent,
              (std::vector<std::string>{std::string(om::kShowSwVersion), std::string(om::kAlarmQuery)}));
    // SWICHCHNL:12 might still grow: it waits for the quiet gap.
    quietGap();
    EXPECT_EQ(m_sent.back(), om::formatSwitchChannel(12));
    ASSERT_EQ(m_written.size(), 2u) << "heartbeat, destination and the alarm poll are not written down";
    EXPECT_TRUE(m_written[0].starts_with("COMMAND from 127.0.0.1:"));
    EXPECT_TRUE(m_written[0].ends_with(": TEST_CTRL_TO_CHCU:SHOWSWVER:"));
    EXPECT_EQ(m_metrics.relayCommandsSent.load(), 2u);

    // The repeater's bytes reach the client; its log datagrams reach the destination the client named.
    m_relay->onRepeaterBytes("ALARMSTATE:0");
    m_relay->onLogDatagram(std::span<const char>("line 1", 6));
    std::string got;
    ASSERT_TRUE(pump([&] { return (got += window.take()) == "ALARMSTATE:0"; }));
    std::vector<std::string> copies;
    ASSERT_TRUE(pump([&] {
        for (std::string& copy : logs.take())
            copies.push_back(std::move(copy));
        return !copies.empty();
    }));
    EXPECT_EQ(copies, std::vector<std::string>{"line 1"});
}

// The air log is wished for while any client asked for it, and no longer once it said off or left.
TEST_F(RelayEndpointTest, AirLogWishFollowsTheClients) {
    open();
    Client first = connected();
    Client second = connected();
    first.send(om::formatAirLogOn("127.0.0.1", 45999)); // with arguments: whole after the quiet gap
    quietGap();
    EXPECT_EQ(m_wishes, std::vector<bool>{true});
    second.send(om::formatAirLogOn("127.0.0.1", 45998));
    quietGap();
    first.send(om::kAirLogOff);
    ASSERT_TRUE(pump([&] { return m_sent.empty() && m_metrics.relayClients.load() == 2; }));
    second.socket.close();
    ASSERT_TRUE(pump([&] { return m_relay->clientCount() == 1; }));
    EXPECT_EQ(m_wishes, (std::vector<bool>{true, false})) << "AILOGON/AILOGOFF never reach the repeater";
    EXPECT_TRUE(m_sent.empty());
}

// Strangers are closed at once and told once per address; destinations outside relay_allow are refused;
// with relay_commands=off only questions pass; past relay_max_clients a client is closed.
TEST_F(RelayEndpointTest, RefusesStrangersForeignDestinationsAndCommandsWhenOff) {
    open(*parseCidrList("127.0.25.0/24"), false, 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        Client stranger;
        ASSERT_TRUE(stranger.connect("127.0.0.1", m_relay->port()));
        bool closed = false;
        ASSERT_TRUE(pump([&] { return stranger.take(&closed).empty() && closed; }));
    }
    EXPECT_EQ(m_metrics.relayRefusedConnections.load(), 2u);
    EXPECT_EQ(said("127.0.0.1:"), 1) << "told once per address";

    Client window = connected("127.0.25.3");
    for (int repeat = 0; repeat < 3; ++repeat)
        window.send(om::formatLogDestination("127.0.0.1", 44320));
    window.send(om::kRebootRepeater);
    window.send(om::kShowArmState);
    ASSERT_TRUE(pump([&] { return m_sent.size() == 1; }));
    EXPECT_EQ(m_sent[0], om::kShowArmState);
    EXPECT_EQ(m_relay->clientsWithLogDestination(), 0u);
    ASSERT_EQ(m_written.size(), 3u);
    EXPECT_TRUE(m_written[0].starts_with("RELAY log destination 127.0.0.1:44320 from 127.0.25.3:"));
    EXPECT_TRUE(m_written[0].ends_with(" refused: outside relay_allow")) << "and told once, not thrice";
    EXPECT_NE(m_written[1].find("refused (relay_commands=off): TEST_CTRL_TO_CHCU:REBOOTREPEATER:"),
              std::string::npos);
    EXPECT_EQ(m_metrics.relayCommandsRefused.load(), 1u);

    Client extra;
    ASSERT_TRUE(extra.connect("127.0.25.4", m_relay->port()));
    bool closed = false;
    ASSERT_TRUE(pump([&] { return extra.take(&closed).empty() && closed; }));
    EXPECT_EQ(m_relay->clientCount(), 1u);
}

// A client that stops reading is dropped once its queue is full; the repeater's side is never held up and
// the other clients get every byte in order. An idle client stays; a hostile one that never sends a command
// prefix cannot grow the relay's buffer.
TEST_F(RelayEndpointTest, DropsAClientThatStopsReadingAndServesTheOthers) {
    open();
    Client reader = connected();
    Client idle = connected();
    Client stalled;
    ASSERT_TRUE(stalled.connect("127.0.0.1", m_relay->port(), 4096));
    ASSERT_TRUE(pump([&] { return m_relay->clientCount() == 3; }));
    Client hostile = connected();
    hostile.send(std::string(4000, 'x'));

    std::string expected;
    std::string got;
    for (int i = 0; i < 40000 && m_relay->clientCount() == 4; ++i) {
        const std::string chunk = "REPLY " + std::to_string(i) + std::string(200, '.');
        m_relay->onRepeaterBytes(chunk);
        expected += chunk;
        m_poller.dispatch();
        got += reader.take();
        idle.take();
        hostile.take();
    }
    EXPECT_EQ(m_relay->clientCount(), 3u) << "the stalled client is dropped";
    EXPECT_EQ(said("does not read"), 1);
    ASSERT_TRUE(pump([&] { return (got += reader.take()).size() >= expected.size(); }));
    EXPECT_EQ(got, expected);
    // The hostile bytes went on as unknown commands of at most the splitter's bound each.
    ASSERT_FALSE(m_sent.empty());
    for (const std::string& sent : m_sent)
        EXPECT_LE(sent.size(), om::CommandSplitter::kMaxPendingBytes + 1024);

    // The repeater's link drops: every client is closed and new ones are refused until it is back.
    m_relay->onLinkDown();
    bool closed = false;
    ASSERT_TRUE(pump([&] { return reader.take(&closed).empty() && closed; }));
    Client late;
    EXPECT_FALSE(late.connect("127.0.0.1", m_relay->port()));
    Socket squatter = Socket::tcp(); // an outgoing connection's local port, for instance
    sockaddr_in port{};
    ASSERT_TRUE(makeIPv4Address(kRelayAddress, m_relay->port(), port));
    EXPECT_NE(::bind(squatter.fd(), reinterpret_cast<const sockaddr*>(&port), sizeof port), 0)
        << "the port stays the relay's while it does not listen";
    m_relay->onLinkUp();
    Client back = connected();
    EXPECT_EQ(m_metrics.relayClients.load(), 1u);
}

// A client that sends nothing keeps its slot only for the idle limit; one that speaks keeps it.
TEST_F(RelayEndpointTest, ClosesAClientUnheardForTheIdleLimit) {
    open();
    Client silent = connected();
    Client window = connected();
    m_now += RelayEndpoint::kIdleLimit - 10s;
    window.send(om::kAlarmQuery);
    ASSERT_TRUE(pump([&] { return m_sent.size() == 1; }));

    const TimerSchedule::Key idle{7, RelayEndpoint::kIdleTimer};
    EXPECT_FALSE(m_timers.takeDue(m_now - 1s).has_value());
    m_now += 10s;
    ASSERT_EQ(m_timers.takeDue(m_now), idle);
    m_relay->onTimer(RelayEndpoint::kIdleTimer);
    EXPECT_EQ(m_relay->clientCount(), 1u);
    bool closed = false;
    ASSERT_TRUE(pump([&] { return silent.take(&closed).empty() && closed; }));
    EXPECT_EQ(said("nothing heard for 30 s"), 1);

    m_now += RelayEndpoint::kIdleLimit - 10s; // the window's limit counts from its last command
    ASSERT_EQ(m_timers.takeDue(m_now), idle);
    m_relay->onTimer(RelayEndpoint::kIdleTimer);
    EXPECT_EQ(m_relay->clientCount(), 0u);
    EXPECT_FALSE(m_timers.active(idle)) << "no client, nothing to look at";
}

} // namespace
} // namespace tavrel

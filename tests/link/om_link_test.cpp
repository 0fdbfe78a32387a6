// The connection task against a loopback stand-in: connect, refusal, pacing, reboot, chunks and stop.
#include <gtest/gtest.h>

#include <cstdio>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "link_rig.h"
#include "protocol/alarm_report.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::LinkRig;
using test::Received;
using test::statusTexts;

constexpr auto kStopBound = 50ms;
constexpr int kTcpSynSent = 2;

std::chrono::milliseconds msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// Stops the link and waits for its task; the time both take.
std::chrono::microseconds timeStop(OmLink& link) {
    const auto start = Clock::now();
    link.stopOmLink();
    link.join();
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
}

std::chrono::microseconds processCpuTime() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

std::vector<Received> dataChunks(const std::vector<Received>& list) {
    std::vector<Received> chunks;
    for (const auto& r : list)
        if (r.kind == NotifyOmData)
            chunks.push_back(r);
    return chunks;
}

TEST(OmLinkStart, StartsOnceAndKeepsTheAddressCutTo15Characters) {
    LinkRig rig("127.0.2.29", false);
    EXPECT_EQ(rig.link.startOmLink("127.0.2.2999999999"), 0);
    EXPECT_EQ(rig.link.serverAddress(), "127.0.2.2999999");
    EXPECT_EQ(rig.link.startOmLink("127.0.2.29"), 1);
    ASSERT_TRUE(rig.window.waitForCount(NotifyStatusText, 1));
    rig.link.stopOmLink();
    rig.link.join();
    EXPECT_EQ(statusTexts(rig.window.received()),
              (std::vector<std::string>{"Connecting to repeater...", "O&M communication task quit"}));
}

TEST(OmLinkStart, NoDescriptorLeftGivesMinusOne) {
    LinkRig rig("127.0.2.32", false);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = dup(0);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    const int result = rig.link.startOmLink("127.0.2.32");
    const int error = errno;
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, EMFILE);
    // The link stays unstarted and may be started once descriptors are free again.
    EXPECT_EQ(rig.link.startOmLink("127.0.2.32"), 0);
}

TEST(OmLinkStart, KeepAliveNoticesAVanishedRepeaterWithin30Seconds) {
    const Socket socket = Socket::tcp();
    ASSERT_TRUE(enableLinkKeepAlive(socket));
    auto option = [&](int level, int name) {
        int value = -1;
        socklen_t size = sizeof value;
        getsockopt(socket.fd(), level, name, &value, &size);
        return value;
    };
    EXPECT_EQ(option(SOL_SOCKET, SO_KEEPALIVE), 1);
    const int idleSeconds = option(IPPROTO_TCP, TCP_KEEPIDLE);
    const int probeSeconds = option(IPPROTO_TCP, TCP_KEEPINTVL) * option(IPPROTO_TCP, TCP_KEEPCNT);
    EXPECT_LT(idleSeconds + probeSeconds, 30) << "an idle link is given up too late";
    const int userTimeoutMs = option(IPPROTO_TCP, TCP_USER_TIMEOUT);
    EXPECT_GT(userTimeoutMs, 0);
    EXPECT_LE(userTimeoutMs + 5000, 30000) << "a heartbeat left unanswered is given up too late";
}

TEST(OmLinkConnect, ARefusingRepeaterShowsOnlyConnectingAndCostsNoCpu) {
    LinkRig rig("127.0.2.20", false); // nobody listens: every connect is refused
    ASSERT_EQ(rig.link.startOmLink(rig.address), 0);
    ASSERT_TRUE(rig.window.waitForCount(NotifyStatusText, 1));

    const auto wallStart = Clock::now();
    const auto cpuStart = processCpuTime();
    std::this_thread::sleep_for(2s); // the link keeps retrying meanwhile
    const auto cpu = processCpuTime() - cpuStart;
    const auto wall = Clock::now() - wallStart;
    const double share = std::chrono::duration<double>(cpu) / std::chrono::duration<double>(wall);
    std::printf("CPU while refused: %.1f ms over %.0f ms (%.2f %%)\n",
                std::chrono::duration<double, std::milli>(cpu).count(),
                std::chrono::duration<double, std::milli>(wall).count(), share * 100);
    EXPECT_LT(share, 0.2) << "the retry loop spins";

    const auto received = rig.window.received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(statusTexts(received), std::vector<std::string>{"Connecting to repeater..."});
    EXPECT_FALSE(rig.link.hasSocket());
}

TEST(OmLinkConnect, AttemptsAreSpacedWhenTheRepeaterClosesAtOnce) {
    LinkRig rig("127.0.2.22");
    ASSERT_EQ(rig.link.startOmLink(rig.address), 0);
    int accepted = 0;
    const auto start = Clock::now();
    while (Clock::now() - start < 2s) {
        if (rig.peer->accept(100ms)) {
            ++accepted;
            rig.peer->closeConnection();
        }
    }
    std::printf("connections accepted in 2 s: %d\n", accepted);
    EXPECT_GE(accepted, 3) << "the link gave up reconnecting";
    EXPECT_LE(accepted, 8) << "connection attempts are not spaced";
    rig.link.stopOmLink();
    rig.link.join();
    EXPECT_GE(rig.window.count(NotifyOmConnected), rig.window.count(NotifyOmDisconnected));
    EXPECT_LE(rig.window.count(NotifyOmConnected), rig.window.count(NotifyOmDisconnected) + 1);
}

TEST(OmLinkConnect, ARebootedRepeaterIsReconnectedWithinASecond) {
    LinkRig rig("127.0.2.26");
    ASSERT_TRUE(rig.connect());

    rig.peer->closeConnection();
    rig.peer->stopListening();
    ASSERT_TRUE(rig.window.waitForCount(NotifyOmDisconnected, 1));
    EXPECT_FALSE(rig.link.hasSocket());
    // While the repeater boots its port refuses: no connection is reported.
    EXPECT_FALSE(rig.window.waitForCount(NotifyOmConnected, 2, 800ms));

    ASSERT_TRUE(rig.peer->listen());
    const auto listening = Clock::now();
    ASSERT_TRUE(rig.window.waitForCount(NotifyOmConnected, 2, 3s));
    const auto delay = msSince(listening);
    std::printf("reconnected %lld ms after the port accepted again\n", static_cast<long long>(delay.count()));
    EXPECT_LT(delay, 1s);
    EXPECT_TRUE(rig.peer->accept());
    EXPECT_TRUE(rig.link.hasSocket());

    const auto received = rig.window.received();
    std::vector<NotifyKind> kinds;
    for (const auto& r : received)
        kinds.push_back(r.kind);
    EXPECT_EQ(kinds, (std::vector<NotifyKind>{NotifyStatusText, NotifyOmConnected, NotifyOmDisconnected,
                                              NotifyOmConnected}));
}

TEST(OmLinkConnect, ADroppedConnectionIsReportedAndReplaced) {
    LinkRig rig("127.0.2.30");
    ASSERT_TRUE(rig.connect());
    rig.link.dropConnection();
    EXPECT_FALSE(rig.link.hasSocket());
    EXPECT_TRUE(rig.peer->waitClosedByLink());
    EXPECT_TRUE(rig.window.waitForCount(NotifyOmDisconnected, 1));
    ASSERT_TRUE(rig.peer->accept());
    EXPECT_TRUE(rig.window.waitForCount(NotifyOmConnected, 2));
    EXPECT_EQ(rig.window.count(NotifyOmDisconnected), 1u);
}

TEST(OmLinkReceive, ChunksArriveWithTheirNul) {
    LinkRig rig("127.0.2.27");
    ASSERT_TRUE(rig.connect());

    ASSERT_TRUE(rig.peer->send("xxALARMSTATE:16yy"));
    ASSERT_TRUE(rig.window.waitForCount(NotifyOmData, 1));
    const Received report = dataChunks(rig.window.received()).at(0);
    EXPECT_EQ(report.bytes, std::string("xxALARMSTATE:16yy\0", 18));
    EXPECT_EQ(report.bytes.size(), 18u);
    EXPECT_EQ(parseAlarmReport(report.bytes), 16);

    // A long reply arrives in pieces of at most 256 bytes, each terminated, nothing lost or added.
    std::string reply;
    for (int i = 0; reply.size() < 1000; ++i)
        reply += "line " + std::to_string(i) + " ALARMSTATE:" + std::to_string(i % 32) + "\n";
    ASSERT_TRUE(rig.peer->send(reply));
    std::string joined;
    ASSERT_TRUE(rig.window.waitFor([&](const std::vector<Received>& list) {
        std::size_t total = 0;
        for (const auto& r : list)
            if (r.kind == NotifyOmData)
                total += r.bytes.size() - 1;
        return total >= 17 + reply.size();
    }));
    const auto chunks = dataChunks(rig.window.received());
    for (std::size_t i = 1; i < chunks.size(); ++i) {
        ASSERT_GE(chunks[i].bytes.size(), 2u);
        EXPECT_LE(chunks[i].bytes.size(), 257u);
        EXPECT_EQ(chunks[i].bytes.back(), '\0');
        joined.append(chunks[i].bytes, 0, chunks[i].bytes.size() - 1);
    }
    EXPECT_EQ(joined, reply);
    EXPECT_GE(chunks.size(), 5u);
}

TEST(OmLinkStop, EndsAConnectingTaskAtOnce) {
    // A stand-in whose accept queue is full drops the link's handshake, so the connect stays pending.
    LinkRig rig("127.0.2.23", false);
    rig.peer.emplace(rig.address, 0);
    ASSERT_TRUE(rig.peer->listening());
    const Socket filler = Socket::tcp();
    sockaddr_in where{};
    ASSERT_TRUE(makeIPv4Address(rig.address, test::TestPeer::kPort, where));
    ASSERT_EQ(::connect(filler.fd(), reinterpret_cast<const sockaddr*>(&where), sizeof where), 0);

    ASSERT_EQ(rig.link.startOmLink(rig.address), 0);
    const auto start = Clock::now();
    while (!test::hasTcpSocketTowards(rig.address, OmLink::serverPort, kTcpSynSent) &&
           Clock::now() - start < 3s)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(test::hasTcpSocketTowards(rig.address, OmLink::serverPort, kTcpSynSent));

    const auto took = timeStop(rig.link);
    std::printf("stop while connecting: %lld us\n", static_cast<long long>(took.count()));
    EXPECT_LT(took, kStopBound);
    EXPECT_EQ(rig.window.count(NotifyOmConnected), 0u);
    EXPECT_EQ(statusTexts(rig.window.received()),
              (std::vector<std::string>{"Connecting to repeater...", "O&M communication task quit"}));
}

TEST(OmLinkStop, EndsAPausingTaskAtOnce) {
    LinkRig rig("127.0.2.24", false);
    ASSERT_EQ(rig.link.startOmLink(rig.address), 0);
    ASSERT_TRUE(rig.window.waitForCount(NotifyStatusText, 1));
    std::this_thread::sleep_for(100ms); // the refused first attempt is over: the task waits to retry

    const auto took = timeStop(rig.link);
    std::printf("stop while pausing: %lld us\n", static_cast<long long>(took.count()));
    EXPECT_LT(took, kStopBound);
    EXPECT_EQ(statusTexts(rig.window.received()),
              (std::vector<std::string>{"Connecting to repeater...", "O&M communication task quit"}));
}

TEST(OmLinkStop, EndsAConnectedTaskWithOnlyItsQuitText) {
    LinkRig rig("127.0.2.25");
    ASSERT_TRUE(rig.connect());
    const std::size_t before = rig.window.received().size();

    const auto took = timeStop(rig.link);
    std::printf("stop while connected: %lld us\n", static_cast<long long>(took.count()));
    EXPECT_LT(took, kStopBound);
    EXPECT_FALSE(rig.link.hasSocket());
    EXPECT_TRUE(rig.peer->waitClosedByLink());

    const auto received = rig.window.received();
    ASSERT_EQ(received.size(), before + 1);
    EXPECT_EQ(received.back().kind, NotifyStatusText);
    EXPECT_EQ(received.back().bytes, std::string("O&M communication task quit\0", 28));
    EXPECT_EQ(rig.window.count(NotifyOmDisconnected), 0u);
}

TEST(OmLinkStop, ClosingTheWindowWhileUnreachableEndsTheTaskSilently) {
    LinkRig rig("127.0.2.28", false);
    ASSERT_EQ(rig.link.startOmLink(rig.address), 0);
    ASSERT_TRUE(rig.window.waitForCount(NotifyStatusText, 1));
    rig.window.close();
    const auto took = timeStop(rig.link);
    EXPECT_LT(took, kStopBound);
    EXPECT_EQ(rig.window.received().size(), 1u);
}

TEST(OmLinkStop, AnUnusableAddressIsRetriedSilentlyAndStops) {
    LinkRig rig("127.0.2.31", false);
    ASSERT_EQ(rig.link.startOmLink("not-an-address"), 0);
    EXPECT_FALSE(rig.window.waitForCount(NotifyStatusText, 2, 500ms));
    EXPECT_LT(timeStop(rig.link), kStopBound);
    EXPECT_EQ(rig.window.count(NotifyOmConnected), 0u);
}

} // namespace
} // namespace tavrel

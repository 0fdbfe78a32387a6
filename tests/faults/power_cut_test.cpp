// A repeater that vanishes without closing its connection, as in a power cut: the monitor and the
// repeaters sit in two network namespaces joined by a veth pair, and the repeaters' end goes down.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include <unistd.h>

#include "emulator/repeater_emulator.h"
#include "tests/faults/fault_window.h"
#include "tests/faults/net_namespaces.h"
#include "tests/support/test_window.h"
#include "ui/monitor_ids.h"

namespace tavrel::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kMonitorAddress = "10.200.0.1";
constexpr const char* kRepeaterAddress = "10.200.0.2";     // talked to by the window, which sends heartbeats
constexpr const char* kIdleRepeaterAddress = "10.200.0.3"; // talked to by a link that sends nothing
// How long the test waits for the loss to be noticed: long enough to measure a tool that is too slow.
constexpr auto kLossWait = 45s;
constexpr auto kReconnectWait = 20s;

class PowerCut : public FaultWindowTest {
protected:
    void SetUp() override {
        const std::string pid = std::to_string(::getpid());
        monitorSide =
            std::make_unique<NetworkNamespace>(std::string(NetworkNamespace::kPrefix) + "mon-" + pid);
        if (!monitorSide->created())
            GTEST_SKIP()
                << "cannot make a network namespace (needs root with CAP_SYS_ADMIN and CAP_NET_ADMIN): "
                << monitorSide->error();
        repeaterSide =
            std::make_unique<NetworkNamespace>(std::string(NetworkNamespace::kPrefix) + "rep-" + pid);
        if (!repeaterSide->created())
            GTEST_SKIP() << "cannot make a second network namespace: " << repeaterSide->error();

        // The pair is made in the monitor's namespace with its peer put straight into the repeaters': no end
        // is ever in the machine's own namespace.
        monitorEnd = "tvfm" + pid;
        repeaterEnd = "tvfr" + pid;
        const CommandResult pair = monitorSide->ip("link add " + monitorEnd + " type veth peer name " +
                                                   repeaterEnd + " netns " + repeaterSide->name());
        if (!pair.ok())
            GTEST_SKIP() << "cannot make a veth pair: " << pair.output;
        for (const CommandResult& step :
             {monitorSide->ip("addr add " + std::string(kMonitorAddress) + "/24 dev " + monitorEnd),
              monitorSide->ip("link set dev " + monitorEnd + " up"),
              repeaterSide->ip("addr add " + std::string(kRepeaterAddress) + "/24 dev " + repeaterEnd),
              repeaterSide->ip("addr add " + std::string(kIdleRepeaterAddress) + "/24 dev " + repeaterEnd),
              repeaterSide->ip("link set dev " + repeaterEnd + " up")})
            ASSERT_TRUE(step.ok()) << step.output;

        repeater = startRepeaterInside(kRepeaterAddress);
        idleRepeater = startRepeaterInside(kIdleRepeaterAddress);
        ASSERT_TRUE(repeater && idleRepeater);

        // From here on the test's thread, and the link and receiver tasks it starts, are on the monitor's
        // side.
        inMonitorSide = std::make_unique<EnterNamespace>(monitorSide->name());
        ASSERT_TRUE(inMonitorSide->entered()) << inMonitorSide->error();
    }

    void TearDown() override {
        window.reset();
        session.reset(); // off the hub and its tasks joined before the repeater goes
        if (idleLink)
            idleLink->stopOmLink();
        idleLink.reset();
        idleWindow.reset();
        repeater.reset();
        idleRepeater.reset();
        inMonitorSide.reset();
        repeaterSide.reset();
        monitorSide.reset();
    }

    // An emulated repeater started from a thread inside the repeaters' namespace, so that its sockets and
    // its worker thread live there.
    std::unique_ptr<emulator::RepeaterEmulator> startRepeaterInside(const std::string& address) {
        emulator::EmulatorOptions options;
        options.address = address;
        options.quiet = true;
        options.airRecordsPerSecond = 0;
        auto emulated = std::make_unique<emulator::RepeaterEmulator>(options);
        bool started = false;
        std::thread([&] {
            const EnterNamespace inside(repeaterSide->name());
            started = inside.entered() && emulated->start();
        }).join();
        if (!started || !emulated->waitForListening(5s))
            return nullptr;
        return emulated;
    }

    CommandResult setRepeaterEnd(const char* state) {
        return repeaterSide->ip("link set dev " + repeaterEnd + " " + state);
    }

    std::unique_ptr<NetworkNamespace> monitorSide;
    std::unique_ptr<NetworkNamespace> repeaterSide;
    std::string monitorEnd;
    std::string repeaterEnd;
    std::unique_ptr<emulator::RepeaterEmulator> repeater;
    std::unique_ptr<emulator::RepeaterEmulator> idleRepeater;
    std::unique_ptr<EnterNamespace> inMonitorSide;
    // A second link that never sends, so only keep-alive can notice the loss.
    NotificationHub idleHub;
    std::atomic<Clock::rep> idleLostAt{0}; // when the idle link reported the loss; 0: not yet
    std::unique_ptr<TestWindow> idleWindow;
    std::unique_ptr<OmLink> idleLink;
};

TEST_F(PowerCut, AVanishedRepeaterIsReportedLostWithin30SecondsAndReconnectedWhenItReturns) {
    MonitorSettings at = faultSettings(40);
    at.repeaterAddress = kRepeaterAddress;
    at.localAddress = kMonitorAddress;
    openAt(at, LinkStarter{});

    idleWindow = std::make_unique<TestWindow>(idleHub);
    idleWindow->onNotification([&](const Received& received) {
        if (received.kind == NotifyOmDisconnected)
            idleLostAt = Clock::now().time_since_epoch().count();
    });
    idleLink = std::make_unique<OmLink>(idleHub);
    ASSERT_EQ(idleLink->startOmLink(kIdleRepeaterAddress), 0);

    ASSERT_TRUE(waitUntil([&] { return window->session().connected(); }, 10000));
    ASSERT_TRUE(waitUntil([&] { return idleWindow->count(NotifyOmConnected) == 1; }, 10000));
    const std::string setLogDestination = "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:" + std::string(kMonitorAddress) +
                                          "," + std::to_string(settings.monitorRxPort);
    ASSERT_TRUE(repeater->waitForCommand(setLogDestination, 5s));

    // The power cut: every packet to and from the repeaters is lost, and nothing closes the connections.
    const auto cutAt = Clock::now();
    ASSERT_TRUE(setRepeaterEnd("down").ok());
    const bool windowNoticed = waitUntil([&] { return !window->session().connected(); },
                                         static_cast<int>(std::chrono::milliseconds(kLossWait).count()));
    const auto windowLoss = Clock::now() - cutAt;
    const bool idleNoticed = waitUntil(
        [&] { return idleLostAt.load() != 0; },
        std::max(0,
                 static_cast<int>(
                     std::chrono::duration_cast<std::chrono::milliseconds>(kLossWait - windowLoss).count())));
    const auto idleLoss = Clock::duration(idleLostAt.load()) - cutAt.time_since_epoch();
    const auto ms = [](Clock::duration d) {
        return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
    };
    RecordProperty("window_loss_noticed_ms", ms(windowLoss));
    RecordProperty("idle_link_loss_noticed_ms", idleNoticed ? ms(idleLoss) : -1);
    std::printf("power cut noticed after %d ms by the window (heartbeats), %d ms by an idle link\n",
                ms(windowLoss), idleNoticed ? ms(idleLoss) : -1);

    ASSERT_TRUE(windowNoticed) << "the window still shows the repeater connected " << ms(windowLoss)
                               << " ms on";
    EXPECT_LT(windowLoss, kLinkLossNoticedWithin);
    ASSERT_TRUE(idleNoticed) << "an idle link still holds the connection " << ms(kLossWait) << " ms on";
    EXPECT_LT(idleLoss, kLinkLossNoticedWithin);
    for (int i = 0; i < kLampCount; ++i)
        EXPECT_EQ(window->lampIcon(i), LampIcon::Off);

    // Power back: both links connect again by themselves, and the window's log receiver still works.
    const auto backAt = Clock::now();
    ASSERT_TRUE(setRepeaterEnd("up").ok());
    ASSERT_TRUE(waitUntil([&] { return window->session().connected(); },
                          static_cast<int>(std::chrono::milliseconds(kReconnectWait).count())));
    RecordProperty("window_reconnected_ms", static_cast<int>(millisecondsSince(backAt)));
    ASSERT_TRUE(waitUntil([&] { return idleWindow->count(NotifyOmConnected) == 2; },
                          static_cast<int>(std::chrono::milliseconds(kReconnectWait).count())));
    std::printf("reconnected %lld ms after the power came back\n", millisecondsSince(backAt));
    EXPECT_EQ(repeater->connectionCount(), 2) << "the new connection replaced the dead one";

    const std::string view = viewText(*window);
    EXPECT_EQ(occurrences(view, ">> Repeter disconnected\n"), 1u) << view;
    EXPECT_EQ(occurrences(view, ">> Repeter connected\n"), 2u);
    EXPECT_EQ(idleWindow->count(NotifyOmDisconnected), 1u);

    window->session().onTimer(timer::kLogDestination);
    ASSERT_TRUE(waitUntil([&] { return repeater->logDestination().has_value(); }));
    ASSERT_TRUE(repeater->sendLog("CHCU: back from the power cut"));
    EXPECT_TRUE(waitUntil(
        [&] { return viewText(*window).find(">> CHCU: back from the power cut\n") != std::string::npos; }));
}

} // namespace
} // namespace tavrel::test

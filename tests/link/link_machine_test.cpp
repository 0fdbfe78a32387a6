// The link's state machine on a stepped clock: when it connects, gives up, retries and how far apart.
#include "link/link_machine.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

using namespace std::chrono_literals;
using Action = LinkMachine::Action;
using State = LinkMachine::State;

const LinkMachine::Clock::time_point t0{std::chrono::hours(1)};

// Started and its first attempt under way at t0.
LinkMachine connecting(LinkMachine::Jitter jitter = {}) {
    LinkMachine machine(std::move(jitter));
    EXPECT_EQ(machine.start(t0), "Connecting to repeater...");
    EXPECT_EQ(machine.onWake(t0), Action::Connect);
    return machine;
}

TEST(LinkMachine, AttemptsAreSpacedByThePauseAndGivenUpAfterTheTimeOut) {
    struct Case {
        const char* what;
        std::chrono::milliseconds failedAfter; // or timed out, when at the time-out
        std::chrono::milliseconds nextAttempt;
    };
    const Case cases[]{
        {"refused at once: waits out the pause", 5ms, 300ms},
        {"failed after the pause: tried again at once", 900ms, 900ms},
        {"not answered: given up after 2 s and tried again at once", 2000ms, 2000ms},
    };
    for (const Case& c : cases) {
        LinkMachine machine = connecting();
        const bool timesOut = c.failedAfter == LinkMachine::kConnectTimeout;
        EXPECT_EQ(machine.wakeAt(), t0 + LinkMachine::kConnectTimeout) << c.what;
        EXPECT_EQ(machine.onWake(t0 + c.failedAfter - 1ms), Action::None) << c.what;
        const Action given =
            timesOut ? machine.onWake(t0 + c.failedAfter) : machine.onConnectFailed(t0 + c.failedAfter);
        EXPECT_EQ(given, Action::Abandon) << c.what;
        EXPECT_EQ(machine.state(), State::Waiting) << c.what;
        EXPECT_EQ(machine.wakeAt(), t0 + c.nextAttempt) << c.what;
        EXPECT_EQ(machine.onWake(t0 + c.nextAttempt - 1ms), Action::None) << c.what;
        EXPECT_EQ(machine.onWake(t0 + c.nextAttempt), Action::Connect) << c.what;
    }
}

TEST(LinkMachine, ALostLinkIsRetriedNoSoonerThanThePauseAfterItsAttempt) {
    LinkMachine machine = connecting();
    EXPECT_EQ(machine.onConnectSucceeded(), Action::ReportConnected);
    EXPECT_EQ(machine.wakeAt(), std::nullopt) << "nothing is due while connected";
    EXPECT_EQ(machine.onWake(t0 + 1h), Action::None);
    EXPECT_EQ(machine.onConnectFailed(t0 + 1h), Action::None) << "only an attempt can fail";

    EXPECT_EQ(machine.onLost(t0 + 100ms), Action::ReportLost);
    EXPECT_EQ(machine.wakeAt(), t0 + 300ms);
    EXPECT_EQ(machine.onLost(t0 + 200ms), Action::None) << "told once";
    EXPECT_EQ(machine.onConnectSucceeded(), Action::None);

    machine.stop();
    EXPECT_EQ(machine.wakeAt(), std::nullopt);
    EXPECT_EQ(machine.onWake(t0 + 1h), Action::None);
}

TEST(LinkMachine, JitterComesOnTopOfEveryWait) {
    LinkMachine machine([] { return 120ms; });
    machine.start(t0);
    EXPECT_EQ(machine.wakeAt(), t0 + 120ms) << "the first attempt too";
    machine.onWake(t0 + 120ms);
    machine.onConnectFailed(t0 + 130ms);
    EXPECT_EQ(machine.wakeAt(), t0 + 120ms + 300ms + 120ms);
}

} // namespace
} // namespace tavrel

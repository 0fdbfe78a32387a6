// The hand-off from workers to the window: synchronous, ordered per worker, never stuck, payload always
// freed.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "live_bytes.h"
#include "tests/support/test_window.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;
using test::Received;
using test::TestWindow;

constexpr std::size_t kBigPayloadBytes = 64 * 1024;

// A window whose thread is the test's own: it dispatches only when the test pumps it.
class PumpedWindow : public NotificationWindow {
public:
    explicit PumpedWindow(NotificationHub& hub) : m_hub(hub) { hub.registerWindow(*this); }
    ~PumpedWindow() override { m_hub.unregisterWindow(); }

    // Dispatches until the predicate holds or the time-out passes.
    template <typename Predicate> bool pumpUntil(Predicate done, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            m_hub.dispatchPending();
            std::this_thread::sleep_for(100us);
        }
        return true;
    }

    std::function<void(Notification&)> handler;
    std::atomic<int> handled{0};

    void handleNotification(Notification notification) override {
        if (handler)
            handler(notification);
        ++handled;
    }
    void requestDispatch() override {}

private:
    NotificationHub& m_hub;
};

TEST(NotifyHub, AStatusTextWithNoWindowIsFreedAndNeverShown) {
    NotificationHub hub;
    const std::string longText(kBigPayloadBytes, 'x');
    const auto before = test::liveHeapBytes();
    for (int i = 0; i < 200; ++i)
        EXPECT_FALSE(hub.postStatusText(longText));
    EXPECT_LT(test::liveHeapBytes() - before, 4096) << "payloads kept without a window";

    TestWindow window(hub); // a window that comes later sees none of it
    EXPECT_TRUE(hub.postStatusText("later"));
    EXPECT_EQ(test::statusTexts(window.received()), std::vector<std::string>{"later"});
}

TEST(NotifyHub, AStatusTextCarriesItsNul) {
    NotificationHub hub;
    TestWindow window(hub);
    ASSERT_TRUE(hub.postStatusText("Connecting to repeater..."));
    const Received r = window.received().at(0);
    EXPECT_EQ(r.kind, NotifyStatusText);
    EXPECT_EQ(r.bytes, std::string("Connecting to repeater...\0", 26));
}

TEST(NotifyHub, DeliveryReturnsOnlyAfterTheHandlerRan) {
    NotificationHub hub;
    TestWindow window(hub);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    window.onNotification([released](const Received&) { released.wait(); });

    auto sender = std::async(std::launch::async, [&] { return hub.notify(NotifyOmConnected, {}); });
    EXPECT_EQ(sender.wait_for(100ms), std::future_status::timeout) << "returned before the handler ended";
    release.set_value();
    ASSERT_EQ(sender.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(sender.get());
    EXPECT_EQ(window.count(NotifyOmConnected), 1u);
}

TEST(NotifyHub, ASenderWaitingWhileTheWindowGoesAwayReturns) {
    NotificationHub hub;
    const auto before = test::liveHeapBytes();
    {
        PumpedWindow window(hub); // never pumped: the notification stays queued
        auto sender = std::async(std::launch::async,
                                 [&] { return hub.notify(NotifyOmData, Payload(kBigPayloadBytes, 'd')); });
        EXPECT_EQ(sender.wait_for(100ms), std::future_status::timeout);
        hub.unregisterWindow();
        ASSERT_EQ(sender.wait_for(5s), std::future_status::ready) << "sender left waiting";
        EXPECT_FALSE(sender.get());
        EXPECT_EQ(window.handled.load(), 0);
    }
    EXPECT_LT(test::liveHeapBytes() - before, 4096) << "the undelivered payload was kept";
    // Later senders are refused at once.
    EXPECT_FALSE(hub.notify(NotifyOmDisconnected, {}));
}

TEST(NotifyHub, NotificationsOfOneWorkerKeepTheirOrder) {
    constexpr int kWorkers = 3;
    constexpr int kEach = 300;
    NotificationHub hub;
    TestWindow window(hub);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&hub, w] {
            for (int i = 0; i < kEach; ++i) {
                const std::string text = std::to_string(w) + ":" + std::to_string(i);
                hub.notify(NotifyRepeaterLog, Payload(text.begin(), text.end()));
            }
        });
    for (auto& worker : workers)
        worker.join();

    std::vector<int> next(kWorkers, 0);
    for (const auto& r : window.received()) {
        const auto colon = r.bytes.find(':');
        const int w = std::stoi(r.bytes.substr(0, colon));
        EXPECT_EQ(std::stoi(r.bytes.substr(colon + 1)), next.at(w)) << "worker " << w << " out of order";
        next.at(w) += 1;
    }
    EXPECT_EQ(next, std::vector<int>(kWorkers, kEach));
}

// Streams with pauses of every length around the time the window thread watches for the next
// notification, so that some arrive just as the watch gives up: every one is still handed over, in order.
TEST(NotifyHub, StreamsWithPausesOfEveryLengthAreAllDelivered) {
    constexpr int kWorkers = 3;
    constexpr int kEach = 10000;
    NotificationHub hub;
    TestWindow window(hub);
    auto sent = std::async(std::launch::async, [&hub] {
        std::vector<std::thread> workers;
        for (int w = 0; w < kWorkers; ++w)
            workers.emplace_back([&hub, w] {
                for (int i = 0; i < kEach; ++i) {
                    const std::string text = std::to_string(w) + ":" + std::to_string(i);
                    if (!hub.notify(NotifyRepeaterLog, Payload(text.begin(), text.end())))
                        return;
                    // 20 to 80 microseconds, busy, so the pause is as short as asked.
                    const auto pause = std::chrono::microseconds(20 + (i * 7 + w * 13) % 61);
                    for (const auto until = std::chrono::steady_clock::now() + pause;
                         std::chrono::steady_clock::now() < until;) {
                    }
                }
            });
        for (auto& worker : workers)
            worker.join();
    });
    const bool allReturned = sent.wait_for(60s) == std::future_status::ready;
    window.close(); // releases a sender left waiting, so that the test ends either way
    ASSERT_TRUE(allReturned) << "a sender was left waiting";

    std::vector<int> next(kWorkers, 0);
    for (const auto& r : window.received()) {
        const auto colon = r.bytes.find(':');
        const int w = std::stoi(r.bytes.substr(0, colon));
        ASSERT_EQ(std::stoi(r.bytes.substr(colon + 1)), next.at(w)) << "worker " << w << " out of order";
        next.at(w) += 1;
    }
    EXPECT_EQ(next, std::vector<int>(kWorkers, kEach));
}

// The window's event loop gets one queued call per dispatch request. Several workers streaming at once
// must not pile those calls up faster than the loop runs them: each lives on the heap until it runs.
TEST(NotifyHub, StreamingWorkersLeaveAtMostOneDispatchRequestWaiting) {
    class EventLoopWindow : public NotificationWindow {
    public:
        void handleNotification(Notification) override {}
        void requestDispatch() override { ++waiting; }
        std::atomic<int> waiting{0};
    };
    constexpr int kWorkers = 3;
    constexpr int kEach = 5000;
    NotificationHub hub(NotificationHub::Waits::SleepAtOnce);
    EventLoopWindow window;
    hub.registerWindow(window);
    std::atomic<int> workersLeft{kWorkers};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&] {
            for (int i = 0; i < kEach; ++i)
                hub.notify(NotifyRepeaterLog, Payload(8, 'x'));
            --workersLeft;
        });
    // The test's thread plays the event loop: one dispatch for each queued call, oldest first.
    int mostWaiting = 0;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (workersLeft.load() > 0 && std::chrono::steady_clock::now() < deadline) {
        mostWaiting = std::max(mostWaiting, window.waiting.load());
        if (window.waiting.load() == 0) {
            std::this_thread::yield();
            continue;
        }
        --window.waiting;
        hub.dispatchPending();
    }
    hub.unregisterWindow();
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(workersLeft.load(), 0) << "a worker was left waiting";
    EXPECT_LE(mostWaiting, 1);
}

TEST(NotifyHub, AHandlerThatIgnoresThePayloadStillFreesIt) {
    NotificationHub hub;
    PumpedWindow window(hub); // its handler does not look at the payload at all
    const auto before = test::liveHeapBytes();
    constexpr int kCount = 2000; // 128 MiB if every payload were kept
    std::atomic<bool> sent{false};
    std::thread worker([&] {
        for (int i = 0; i < kCount; ++i)
            hub.notify(NotifyOmData, Payload(kBigPayloadBytes, 'a'));
        sent = true;
    });
    EXPECT_TRUE(window.pumpUntil([&] { return sent.load(); }, 60s));
    worker.join();
    EXPECT_EQ(window.handled.load(), kCount);
    EXPECT_LT(test::liveHeapBytes() - before, 1 << 20) << "payloads kept after handling";
}

TEST(NotifyHub, AModalLoopInsideAHandlerDeliversOtherWorkers) {
    NotificationHub hub;
    PumpedWindow window(hub);
    std::atomic<bool> otherSent{false};
    std::atomic<bool> otherDeliveredInside{false};
    std::thread other;
    window.handler = [&](Notification& n) {
        if (n.kind != NotifyOmConnected)
            return;
        // Like a message box opened from a handler: its own loop dispatches what other workers send.
        other = std::thread([&] {
            hub.notify(NotifyRepeaterLog, {});
            otherSent = true;
        });
        otherDeliveredInside = window.pumpUntil([&] { return otherSent.load(); });
    };
    auto first = std::async(std::launch::async, [&] { return hub.notify(NotifyOmConnected, {}); });
    EXPECT_TRUE(window.pumpUntil([&] { return first.wait_for(0s) == std::future_status::ready; }));
    other.join();
    EXPECT_TRUE(first.get());
    EXPECT_TRUE(otherDeliveredInside);
    EXPECT_EQ(window.handled.load(), 2);
}

TEST(NotifyHub, AThrowingHandlerDoesNotLeaveItsSenderWaiting) {
    // Kept alive past the test in case the sender is stuck, so a failure does not crash the program.
    static NotificationHub hub;
    PumpedWindow window(hub);
    window.handler = [](Notification&) { throw std::runtime_error("handler failed"); };
    auto result = std::make_shared<std::promise<bool>>();
    auto returned = result->get_future();
    std::thread sender([result] { result->set_value(hub.notify(NotifyOmData, Payload(16, 'x'))); });

    bool threw = false;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!threw && std::chrono::steady_clock::now() < deadline) {
        try {
            hub.dispatchPending();
        } catch (const std::runtime_error&) {
            threw = true;
        }
        std::this_thread::sleep_for(100us);
    }
    EXPECT_TRUE(threw) << "the handler's exception did not reach the dispatching loop";
    if (returned.wait_for(1s) != std::future_status::ready) {
        sender.detach();
        FAIL() << "sender left waiting after its handler threw";
    }
    sender.join();
    EXPECT_FALSE(returned.get());
}

} // namespace
} // namespace tavrel

// The repeater-log receiver on loopback: hand-over with NUL, slot limits, failures, start/stop.
#include "receivers/udp_receiver.h"

#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>

#include <sys/socket.h>

#include <gtest/gtest.h>

#include "tests/receivers/udp_test_util.h"
#include "tests/support/test_window.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;

using LogReceiverTest = test::ReceiverTest<kRepeaterLogProfile>;

TEST_F(LogReceiverTest, DatagramArrivesWithTerminatorCounted) {
    ASSERT_TRUE(startBound("127.0.5.10", 46101));
    EXPECT_EQ(m_receiver.address(), "127.0.5.10");
    EXPECT_EQ(m_receiver.port(), 46101);

    ASSERT_TRUE(test::sendDatagram("127.0.5.10", 46101, "line one\r\nline two"));
    ASSERT_TRUE(m_window.waitForCount(NotifyRepeaterLog, 1));
    const auto received = handedOver();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bytes, std::string("line one\r\nline two\0", 19));
    EXPECT_EQ(received[0].bytes.size(), 19u);
}

TEST_F(LogReceiverTest, FullSlotArrivesWholeLongerOneIsDiscarded) {
    ASSERT_TRUE(startBound("127.0.5.11", 46102));
    std::string full(1024, 'x');
    full.front() = '<';
    full.back() = '>';
    ASSERT_TRUE(test::sendDatagram("127.0.5.11", 46102, full));
    ASSERT_TRUE(test::sendDatagram("127.0.5.11", 46102, std::string(1025, 'y')));
    ASSERT_TRUE(test::sendDatagram("127.0.5.11", 46102, ""));
    ASSERT_TRUE(test::sendDatagram("127.0.5.11", 46102, "next"));

    ASSERT_TRUE(m_window.waitForCount(NotifyRepeaterLog, 2));
    const auto received = handedOver();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].bytes, full + '\0');
    EXPECT_EQ(received[0].bytes.size(), 1025u);
    EXPECT_EQ(received[1].bytes, std::string("next\0", 5));
    EXPECT_EQ(received[1].bytes.size(), 5u);
}

TEST_F(LogReceiverTest, BindToForeignAddressReportsErrorAndAllowsLaterStart) {
    if (test::nonLocalBindAllowed())
        GTEST_SKIP() << "this machine binds to addresses it does not have";
    ASSERT_EQ(m_receiver.start("192.0.2.1", 46103), 0);
    ASSERT_TRUE(m_window.waitForCount(NotifyStatusText, 1));
    m_receiver.join();
    EXPECT_FALSE(m_receiver.running());
    EXPECT_EQ(statusTexts(), std::vector<std::string>{"Fail to bind log receive socket,error=" +
                                                      std::to_string(EADDRNOTAVAIL)});

    // The failed task has ended, so the receiver can be started again.
    ASSERT_TRUE(startBound("127.0.5.12", 46103));
}

TEST_F(LogReceiverTest, SocketCreationFailureIsReported) {
    // One ordinary run first: a sanitizer build checks the task thread's type once, with a descriptor.
    ASSERT_TRUE(startBound("127.0.5.13", 46104));
    m_receiver.stop();
    m_receiver.join();
    {
        test::DescriptorLimit noMoreDescriptors;
        ASSERT_EQ(m_receiver.start("127.0.5.13", 46104), 0);
        ASSERT_TRUE(m_window.waitForCount(NotifyStatusText, 2));
        m_receiver.join();
    }
    EXPECT_FALSE(m_receiver.running());
    EXPECT_EQ(statusTexts(), (std::vector<std::string>{"LOG receiving task quit",
                                                       "Fail to create log receive socket,error=" +
                                                           std::to_string(EMFILE)}));
}

TEST_F(LogReceiverTest, SecondStartIsRefusedEvenBeforeTheTaskHasBound) {
    ASSERT_EQ(m_receiver.start("127.0.5.14", 46105), 0);
    EXPECT_EQ(m_receiver.start("127.0.5.14", 46105), 1);
    ASSERT_TRUE(test::waitUntil([&] { return m_receiver.running(); }));
    EXPECT_EQ(m_receiver.start("127.0.5.15", 46106), 1);
    EXPECT_EQ(m_receiver.address(), "127.0.5.14");

    ASSERT_TRUE(test::sendDatagram("127.0.5.14", 46105, "once"));
    ASSERT_TRUE(m_window.waitForCount(NotifyRepeaterLog, 1));
    m_receiver.stop();
    m_receiver.join();
    // A second task would have failed to bind the same port and said so.
    EXPECT_EQ(statusTexts(), std::vector<std::string>{"LOG receiving task quit"});
    EXPECT_EQ(handedOver().size(), 1u);
}

TEST_F(LogReceiverTest, StopEndsTheTaskAtOnceAndItCanStartAgain) {
    ASSERT_TRUE(startBound("127.0.5.16", 46107));
    const auto before = std::chrono::steady_clock::now();
    m_receiver.stop();
    m_receiver.join();
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took, 100ms);
    EXPECT_FALSE(m_receiver.running());
    EXPECT_EQ(statusTexts(), std::vector<std::string>{"LOG receiving task quit"});

    ASSERT_TRUE(startBound("127.0.5.16", 46107));
    ASSERT_TRUE(test::sendDatagram("127.0.5.16", 46107, "again"));
    ASSERT_TRUE(m_window.waitForCount(NotifyRepeaterLog, 1));
    EXPECT_EQ(handedOver().at(0).bytes, std::string("again\0", 6));
}

TEST_F(LogReceiverTest, BindsTheLowSixteenBitsAndKeepsTheWholeNumber) {
    ASSERT_EQ(m_receiver.start("127.0.5.21", 70000), 0);
    ASSERT_TRUE(test::waitUntil([&] { return m_receiver.running(); }));
    EXPECT_EQ(m_receiver.start("127.0.5.21", 70000), 1);
    EXPECT_EQ(m_receiver.port(), 70000); // what the repeater is told

    // 70000 binds 70000 - 65536 = 4464.
    ASSERT_TRUE(test::sendDatagram("127.0.5.21", 4464, "low bits"));
    ASSERT_TRUE(m_window.waitForCount(NotifyRepeaterLog, 1));
    EXPECT_EQ(handedOver().at(0).bytes, std::string("low bits\0", 9));
}

} // namespace
} // namespace tavrel

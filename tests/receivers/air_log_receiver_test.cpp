// The air-log receiver on loopback: exact copies up to 64 bytes, discards, failure and quit texts.
#include "receivers/udp_receiver.h"

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "tests/receivers/udp_test_util.h"
#include "tests/support/test_window.h"

namespace tavrel {
namespace {

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(0xA0 + i); // high bytes, no NUL anywhere
    bytes[0] = '\x01';
    return bytes;
}

using AirLogReceiverTest = test::ReceiverTest<kAirLogProfile>;

TEST_F(AirLogReceiverTest, RecordsUpToSixtyFourBytesPassExactly) {
    ASSERT_TRUE(startBound("127.0.5.40", 46201));
    const std::string full = pattern(44);
    const std::string longest = pattern(64);
    const std::string header = std::string("\0\0\0\0\x12\x0A", 6);
    ASSERT_TRUE(test::sendDatagram("127.0.5.40", 46201, full));
    ASSERT_TRUE(test::sendDatagram("127.0.5.40", 46201, longest));
    ASSERT_TRUE(test::sendDatagram("127.0.5.40", 46201, pattern(65)));
    ASSERT_TRUE(test::sendDatagram("127.0.5.40", 46201, header));

    ASSERT_TRUE(m_window.waitForCount(NotifyAirLogRecord, 3));
    const auto received = handedOver();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].bytes, full);
    EXPECT_EQ(received[0].bytes.size(), 44u);
    EXPECT_EQ(received[1].bytes, longest);
    EXPECT_EQ(received[1].bytes.size(), 64u);
    EXPECT_EQ(received[2].bytes, header);
    EXPECT_EQ(received[2].bytes.size(), 6u);
}

TEST_F(AirLogReceiverTest, BindFailureUsesTheAirLogText) {
    if (test::nonLocalBindAllowed())
        GTEST_SKIP() << "this machine binds to addresses it does not have";
    ASSERT_EQ(m_receiver.start("192.0.2.1", 46202), 0);
    ASSERT_TRUE(m_window.waitForCount(NotifyStatusText, 1));
    m_receiver.join();
    EXPECT_FALSE(m_receiver.running());
    EXPECT_EQ(statusTexts(), std::vector<std::string>{"Fail to bind airlog receive socket,error=" +
                                                      std::to_string(EADDRNOTAVAIL)});
}

TEST_F(AirLogReceiverTest, SocketCreationFailureUsesTheAirLogText) {
    // One ordinary run first: a sanitizer build checks the task thread's type once, with a descriptor.
    ASSERT_TRUE(startBound("127.0.5.41", 46203));
    m_receiver.stop();
    m_receiver.join();
    {
        test::DescriptorLimit noMoreDescriptors;
        ASSERT_EQ(m_receiver.start("127.0.5.41", 46203), 0);
        ASSERT_TRUE(m_window.waitForCount(NotifyStatusText, 2));
        m_receiver.join();
    }
    EXPECT_FALSE(m_receiver.running());
    EXPECT_EQ(statusTexts(), (std::vector<std::string>{"AIRLOG receiving task quit",
                                                       "Fail to create airlog receive socket,error=" +
                                                           std::to_string(EMFILE)}));
}

TEST_F(AirLogReceiverTest, SecondStartRefusedAndStopPostsQuit) {
    ASSERT_EQ(m_receiver.start("127.0.5.42", 46204), 0);
    EXPECT_EQ(m_receiver.start("127.0.5.42", 46204), 1);
    ASSERT_TRUE(test::waitUntil([&] { return m_receiver.running(); }));
    EXPECT_EQ(m_receiver.start("127.0.5.43", 46205), 1);
    EXPECT_EQ(m_receiver.address(), "127.0.5.42");
    EXPECT_EQ(m_receiver.port(), 46204);

    m_receiver.stop();
    m_receiver.join();
    EXPECT_FALSE(m_receiver.running());
    EXPECT_EQ(statusTexts(), std::vector<std::string>{"AIRLOG receiving task quit"});
}

} // namespace
} // namespace tavrel

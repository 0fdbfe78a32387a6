// The socket owner closes its descriptor exactly once, and sends fail with an error instead of a signal.
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/socket.h"

namespace tavrel {
namespace {

// A repeater-side address from this test folder's loopback range.
constexpr char kPeerAddress[] = "127.0.1.11";

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(Socket, MovedFromOwnerNeverClosesTheDescriptorAgain) {
    int reused = -1;
    {
        Socket first = Socket::udp();
        ASSERT_TRUE(first.valid());
        const int fd = first.fd();
        Socket second(std::move(first));
        EXPECT_FALSE(first.valid());
        EXPECT_EQ(second.fd(), fd);
        second.close();
        EXPECT_FALSE(isOpen(fd));
        // The number is handed out again; the moved-from owner going out of scope must not close it.
        reused = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(reused, fd);
    }
    EXPECT_TRUE(isOpen(reused));
    ::close(reused);
}

TEST(Socket, MoveAssignmentClosesTheReplacedDescriptor) {
    Socket target = Socket::udp();
    Socket source = Socket::tcp();
    const int replaced = target.fd();
    const int kept = source.fd();
    target = std::move(source);
    EXPECT_FALSE(isOpen(replaced));
    EXPECT_EQ(target.fd(), kept);
    EXPECT_FALSE(source.valid());
}

TEST(Socket, SendOnAnInvalidSocketReportsBadDescriptor) {
    Socket none;
    errno = 0;
    EXPECT_EQ(none.send("HEARTBEAT"), -1);
    EXPECT_EQ(lastSystemError(), EBADF);
    none.close(); // harmless on an invalid socket
    none.shutdownBoth();
}

TEST(Socket, SendToAPeerThatClosedFailsWithoutKillingTheProcess) {
    Socket listener = Socket::tcp();
    ASSERT_TRUE(listener.setOption(SOL_SOCKET, SO_REUSEADDR, 1));
    sockaddr_in address{};
    ASSERT_TRUE(makeIPv4Address(kPeerAddress, 0, address));
    ASSERT_EQ(::bind(listener.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener.fd(), 1), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&address), &length), 0);

    Socket client = Socket::tcp();
    ASSERT_EQ(::connect(client.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    Socket accepted(::accept(listener.fd(), nullptr, nullptr));
    ASSERT_TRUE(accepted.valid());
    accepted.close();

    // The first send after the peer's close draws a reset; a later one fails (without SIGPIPE).
    ssize_t result = 0;
    for (int attempt = 0; attempt < 100 && result >= 0; ++attempt)
        result = client.send("TEST_CTRL_TO_CHCU:HEARTBEAT:");
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(errno == EPIPE || errno == ECONNRESET) << errno;
}

TEST(Socket, MakesIPv4AddressesFromDottedTextOnly) {
    sockaddr_in address{};
    ASSERT_TRUE(makeIPv4Address("127.0.1.12", 2301, address));
    EXPECT_EQ(address.sin_family, AF_INET);
    EXPECT_EQ(ntohs(address.sin_port), 2301);
    EXPECT_EQ(ntohl(address.sin_addr.s_addr), 0x7F00010Cu);

    for (const char* bad : {"", "127.0.1", "127.0.1.256", "repeater", "127.0.1.12 ", "0127.000.001.0012"})
        EXPECT_FALSE(makeIPv4Address(bad, 2301, address)) << bad;
}

} // namespace
} // namespace tavrel

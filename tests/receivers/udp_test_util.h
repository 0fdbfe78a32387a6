// Helpers for the receiver tests: loopback datagrams, bounded waits, a descriptor limit that fails sockets,
// and the fixture of a receiver handing over to a test window.
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/socket.h"
#include "receivers/udp_receiver.h"
#include "tests/support/test_window.h"

namespace tavrel::test {

// One datagram from an unbound loopback socket to address:port; true when the send took all bytes.
inline bool sendDatagram(const std::string& address, std::uint16_t port, const std::string& bytes) {
    Socket sender = Socket::udp();
    sockaddr_in to{};
    if (!sender.valid() || !makeIPv4Address(address, port, to))
        return false;
    const auto sent =
        ::sendto(sender.fd(), bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    return sent == static_cast<ssize_t>(bytes.size());
}

// Polls the condition every millisecond until it holds or the time-out passes.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Binding to an address the machine does not have only fails when the kernel does not allow it anyway.
inline bool nonLocalBindAllowed() {
    std::ifstream setting("/proc/sys/net/ipv4/ip_nonlocal_bind");
    int value = 0;
    setting >> value;
    return value != 0;
}

// While alive, the process cannot open another descriptor: socket() fails with EMFILE.
class DescriptorLimit {
public:
    DescriptorLimit() {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ::close(lowestFree);
        rlimit tight = m_saved;
        tight.rlim_cur = static_cast<rlim_t>(lowestFree);
        ::setrlimit(RLIMIT_NOFILE, &tight);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

private:
    rlimit m_saved{};
};

// A receiver of the given profile handing over to a test window, and what it handed over of its own kind.
template <const UdpReceiveProfile& Profile> class ReceiverTest : public ::testing::Test {
protected:
    bool startBound(const std::string& address, int port) {
        return m_receiver.start(address, port) == 0 && waitUntil([&] { return m_receiver.running(); });
    }

    std::vector<Received> handedOver() const {
        std::vector<Received> found;
        for (auto& received : m_window.received())
            if (received.kind == Profile.kind)
                found.push_back(received);
        return found;
    }

    std::vector<std::string> statusTexts() const { return test::statusTexts(m_window.received()); }

    NotificationHub m_hub;
    TestWindow m_window{m_hub};
    UdpReceiver m_receiver{m_hub, Profile};
};

} // namespace tavrel::test

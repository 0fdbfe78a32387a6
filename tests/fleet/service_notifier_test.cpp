// The collector's systemd notifications, received on a notify socket of the test's own: READY=1, and the
// watchdog fed from the event loop at half the period systemd asks for.
#include "apps/collector/service_notifier.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "platform/scoped_fd.h"
#include "tests/fleet/fleet_fixture.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;

class NotifySocket {
public:
    explicit NotifySocket(const std::string& path)
        : m_socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        ::bind(m_socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    // Every message that has arrived so far.
    std::vector<std::string> messages() {
        std::vector<std::string> all;
        char buffer[512];
        for (ssize_t got; (got = ::recv(m_socket.fd(), buffer, sizeof buffer, 0)) > 0;)
            all.emplace_back(buffer, static_cast<std::size_t>(got));
        return all;
    }

private:
    ScopedFd m_socket;
};

TEST(ServiceNotifier, TellsReadyAndFeedsTheWatchdogFromTheLoop) {
    test::TempExeDir dir;
    const std::string path = dir.path() + "/notify";
    NotifySocket notify(path);
    ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    ::setenv("WATCHDOG_USEC", "200000", 1); // 200 ms: fed every 100 ms
    ::setenv("WATCHDOG_PID", std::to_string(::getpid()).c_str(), 1);
    {
        ServiceNotifier service;
        EXPECT_TRUE(service.watchdogRunning());
        service.ready();
        std::vector<std::string> seen;
        EXPECT_TRUE(test::waitUntil(
            [&] {
                for (std::string& message : notify.messages())
                    seen.push_back(std::move(message));
                return std::count(seen.begin(), seen.end(), "WATCHDOG=1") >= 2;
            },
            2s));
        EXPECT_EQ(seen.front(), "READY=1");
        service.stopping();
        EXPECT_EQ(notify.messages(), std::vector<std::string>{"STOPPING=1"});
    }
    ::unsetenv("WATCHDOG_USEC");
    ::unsetenv("WATCHDOG_PID");
    ServiceNotifier unwatched;
    EXPECT_FALSE(unwatched.watchdogRunning());
    ::unsetenv("NOTIFY_SOCKET");
}

} // namespace
} // namespace tavrel

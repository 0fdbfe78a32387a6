// The collector's HTTP server: libmicrohttpd in its external epoll mode, its descriptor in the fleet's poller
// and its time-out in the fleet's timer schedule, so it runs on the event loop's thread with no thread of its
// own. GET and HEAD /metrics answer the exposition text, built at the moment of the scrape; TLS, basic auth
// and extra headers come from the web configuration.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fleet/web_config.h"
#include "platform/event_poller.h"
#include "platform/socket.h"
#include "platform/timer_schedule.h"

namespace tavrel {

inline constexpr std::string_view kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";
inline constexpr std::string_view kBasicAuthRealm = "tavrel-collector";
// The fleet's own timers have owner 0 (repeaters are numbered from 1).
inline constexpr TimerSchedule::Key kHttpTimer{0, 1};

// What a client may hold of the server. The defaults serve a few Prometheus servers with room to spare and
// keep a host that opens connections and sends nothing from blinding the others.
struct HttpLimits {
    unsigned idleTimeoutSeconds = 10;         // an idle or slow connection is closed after this
    unsigned maxConnections = 1000;           // in all
    unsigned maxPerAddress = 64;              // from one client address
    std::size_t connectionMemory = 32 * 1024; // per connection; a request head that does not fit is refused
};

class MetricsServer {
public:
    using Render = std::function<std::string()>;
    using Now = std::function<TimerSchedule::Clock::time_point()>;

    MetricsServer(EventPoller& poller, TimerSchedule& timers, Now now, Render render, HttpLimits limits = {});
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Listens on address:port (0: any free port) with the web configuration; a message naming the port when
    // that fails.
    std::string open(const std::string& address, std::uint16_t port, const WebConfig& web = {});
    // Serves a new web configuration: a new daemon takes over the listening socket at once, the old one
    // finishes the connections it has. An error (the running configuration stays) when the new daemon cannot
    // start.
    std::string apply(const WebConfig& web);
    // kHttpTimer came due: runs every daemon.
    void onTimer();

    std::uint16_t port() const { return m_port; }
    std::string metricsText() const { return m_render(); }
    TimerSchedule::Clock::time_point now() const { return m_now(); }
    std::size_t daemonCount() const { return m_daemons.size(); }

    struct Site;
    struct Daemon;

private:
    std::string startDaemon(const WebConfig& web);
    void run();
    void arm();

    EventPoller& m_poller;
    TimerSchedule& m_timers;
    Now m_now;
    Render m_render;
    HttpLimits m_limits;
    Socket m_listener;
    std::uint16_t m_port = 0;
    std::string m_where;
    // The last serves new connections; the ones before it finish theirs and go.
    std::vector<std::unique_ptr<Daemon>> m_daemons;
};

} // namespace tavrel

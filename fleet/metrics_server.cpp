// libmicrohttpd daemons on a listening socket of our own: each daemon gets a duplicate of it, so that a new
// web configuration (new TLS material) starts a new daemon on the same socket without closing the port. MHD's
// epoll descriptor is watched level-triggered by the fleet's poller; MHD watches its connections
// edge-triggered and may keep ready ones in a list of its own, which MHD_get_timeout tells as a time-out of
// 0: every run is followed by arming the fleet's timer with that time-out, so nothing stalls between
// readiness edges.
#include "fleet/metrics_server.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gnutls/gnutls.h>
#include <microhttpd.h>

#include "fleet/password_check.h"

namespace tavrel {
namespace {

constexpr int kListenBacklog = 256; // room for a burst of connections between two turns of the loop
// Room for a whole answer (about 800 KiB for 1,000 repeaters), so it leaves in one send rather than in pieces
// that each wait for a turn of the event loop.
constexpr int kSendBufferBytes = 4 * 1024 * 1024;
constexpr std::string_view kAllowed = "GET, HEAD";
constexpr MHD_UNSIGNED_LONG_LONG kRetiredCheckMs = 1000;

struct MhdFree {
    void operator()(char* text) const { MHD_free(text); }
};
struct ResponseDestroy {
    void operator()(MHD_Response* response) const { MHD_destroy_response(response); }
};
using Response = std::unique_ptr<MHD_Response, ResponseDestroy>;

} // namespace

// What one daemon serves: its web configuration and the passwords it accepts.
struct MetricsServer::Site {
    MetricsServer* server = nullptr;
    WebConfig web;
    PasswordCheck passwords;
};

struct MetricsServer::Daemon {
    struct Stop {
        void operator()(MHD_Daemon* daemon) const { MHD_stop_daemon(daemon); }
    };
    std::unique_ptr<Site> site; // outlives the daemon, which reads its TLS material
    std::unique_ptr<MHD_Daemon, Stop> daemon;
    EventPoller::Token token = 0;
    int epollFd = -1;
    bool listening = true;
};

namespace {

Response textResponse(std::string_view body) {
    return Response(
        MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY));
}

MHD_Result queue(MHD_Connection* connection, const MetricsServer::Site& site, unsigned status,
                 Response response, std::string_view type, bool basicAuthFailed = false) {
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, std::string(type).c_str());
    for (const auto& [name, value] : site.web.headers)
        MHD_add_response_header(response.get(), name.c_str(), value.c_str());
    if (status == MHD_HTTP_METHOD_NOT_ALLOWED)
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_ALLOW, std::string(kAllowed).c_str());
    if (basicAuthFailed)
        return MHD_queue_basic_auth_fail_response(connection, std::string(kBasicAuthRealm).c_str(),
                                                  response.get());
    return MHD_queue_response(connection, status, response.get());
}

// The client certificate as client_auth_type wants it; GnuTLS asked for it in the handshake (MHD does when a
// trust list is set) and verifies it here against the client CA.
bool clientCertificateAccepted(MHD_Connection* connection, const WebTls& tls) {
    if (tls.clientAuth == ClientAuth::NoClientCert || tls.clientAuth == ClientAuth::RequestClientCert)
        return true;
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_GNUTLS_SESSION);
    const auto session = info ? static_cast<gnutls_session_t>(info->tls_session) : nullptr;
    unsigned count = 0;
    const bool given = session && gnutls_certificate_get_peers(session, &count) != nullptr && count > 0;
    if (tls.clientAuth == ClientAuth::RequireAnyClientCert)
        return given;
    unsigned status = 0;
    const bool verified = given && gnutls_certificate_verify_peers2(session, &status) == 0 && status == 0;
    return tls.clientAuth == ClientAuth::VerifyClientCertIfGiven ? !given || verified : verified;
}

MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
                     const char*, size_t* uploadSize, void** state) {
    auto& site = *static_cast<MetricsServer::Site*>(cls);
    if (*state != nullptr) { // a request body after the answer was queued: dropped
        *uploadSize = 0;
        return MHD_YES;
    }
    *state = &site; // marks the request answered
    // A refused certificate ends the connection without an answer, as a refused handshake would.
    if (site.web.tls && !clientCertificateAccepted(connection, *site.web.tls))
        return MHD_NO;
    if (site.passwords.enabled()) {
        char* rawPassword = nullptr;
        const std::unique_ptr<char, MhdFree> user(
            MHD_basic_auth_get_username_password(connection, &rawPassword));
        const std::unique_ptr<char, MhdFree> password(rawPassword);
        if (!user || !password || !site.passwords.check(user.get(), password.get(), site.server->now()))
            return queue(connection, site, MHD_HTTP_UNAUTHORIZED, textResponse("Unauthorized\n"),
                         "text/plain", true);
    }
    const std::string_view verb(method);
    if (verb != MHD_HTTP_METHOD_GET && verb != MHD_HTTP_METHOD_HEAD)
        return queue(connection, site, MHD_HTTP_METHOD_NOT_ALLOWED,
                     textResponse("only " + std::string(kAllowed) + "\n"), "text/plain");
    const std::string_view path(url);
    if (path == "/metrics")
        return queue(connection, site, MHD_HTTP_OK, textResponse(site.server->metricsText()),
                     kMetricsContentType);
    if (path == "/")
        return queue(connection, site, MHD_HTTP_OK, textResponse("tavrel-collector: metrics at /metrics\n"),
                     "text/plain");
    return queue(connection, site, MHD_HTTP_NOT_FOUND, textResponse("not found\n"), "text/plain");
}

void onConnection(void*, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
    if (code != MHD_CONNECTION_NOTIFY_STARTED)
        return;
    if (const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD))
        ::setsockopt(info->connect_fd, SOL_SOCKET, SO_SNDBUF, &kSendBufferBytes, sizeof kSendBufferBytes);
}

} // namespace

MetricsServer::MetricsServer(EventPoller& poller, TimerSchedule& timers, Now now, Render render,
                             HttpLimits limits)
    : m_poller(poller), m_timers(timers), m_now(std::move(now)), m_render(std::move(render)),
      m_limits(limits) {}

MetricsServer::~MetricsServer() {
    m_timers.stop(kHttpTimer);
    for (const auto& daemon : m_daemons)
        m_poller.remove(daemon->token, daemon->epollFd);
    m_daemons.clear();
}

std::string MetricsServer::open(const std::string& address, std::uint16_t port, const WebConfig& web) {
    m_where = "metrics_listen port " + std::to_string(port) + " on " + address;
    Socket listener = Socket::tcp();
    if (!listener.valid())
        return "cannot open the " + m_where + ": " + std::strerror(errno);
    listener.setOption(SOL_SOCKET, SO_REUSEADDR, 1); // a restart is not held up by closing scrapes
    const std::uint16_t bound = bindToPort(listener, address, port);
    if (bound == 0 || ::listen(listener.fd(), kListenBacklog) != 0) {
        const int error = errno;
        return error == EADDRINUSE ? "the " + m_where + " is already in use"
                                   : "cannot listen on the " + m_where + ": " + std::strerror(error);
    }
    listener.setNonBlocking(true);
    m_listener = std::move(listener);
    if (std::string error = startDaemon(web); !error.empty()) {
        m_listener = Socket();
        return error;
    }
    m_port = bound;
    return {};
}

std::string MetricsServer::apply(const WebConfig& web) {
    if (!m_listener.valid())
        return "the metrics listener is not open";
    if (std::string error = startDaemon(web); !error.empty())
        return error;
    // The daemons before the new one stop accepting; each goes once its last connection has.
    for (std::size_t i = 0; i + 1 < m_daemons.size(); ++i)
        if (m_daemons[i]->listening) {
            const MHD_socket handed = MHD_quiesce_daemon(m_daemons[i]->daemon.get());
            if (handed != MHD_INVALID_SOCKET)
                ::close(handed); // its duplicate of the listening socket
            m_daemons[i]->listening = false;
        }
    run();
    return {};
}

std::string MetricsServer::startDaemon(const WebConfig& web) {
    auto daemon = std::make_unique<Daemon>();
    daemon->site = std::make_unique<Site>(Site{this, web, PasswordCheck(web.users)});
    const int duplicate = ::fcntl(m_listener.fd(), F_DUPFD_CLOEXEC, 0);
    if (duplicate < 0)
        return "cannot serve the " + m_where + ": " + std::strerror(errno);
    const WebConfig& site = daemon->site->web;
    std::vector<MHD_OptionItem> options{
        {MHD_OPTION_LISTEN_SOCKET, duplicate, nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(m_limits.idleTimeoutSeconds), nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, static_cast<intptr_t>(m_limits.maxConnections), nullptr},
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<intptr_t>(m_limits.maxPerAddress), nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(m_limits.connectionMemory), nullptr},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&onConnection), nullptr},
    };
    unsigned flags = MHD_USE_EPOLL;
    if (site.tls) {
        flags |= MHD_USE_TLS;
        options.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(site.tls->certPem.c_str())});
        options.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(site.tls->keyPem.c_str())});
        options.push_back({MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char*>(site.tls->priorities.c_str())});
        if (!site.tls->clientCaPem.empty())
            options.push_back(
                {MHD_OPTION_HTTPS_MEM_TRUST, 0, const_cast<char*>(site.tls->clientCaPem.c_str())});
    }
    options.push_back({MHD_OPTION_END, 0, nullptr});
    daemon->daemon.reset(MHD_start_daemon(flags, 0, nullptr, nullptr, &onRequest, daemon->site.get(),
                                          MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END));
    if (!daemon->daemon) {
        // MHD closes a listening socket it was given only once it started; a failed start leaves it open.
        if (::fcntl(duplicate, F_GETFD) != -1)
            ::close(duplicate);
        return "cannot serve the " + m_where + ": libmicrohttpd refused to start" +
               (site.tls ? " with this TLS material" : "");
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon->daemon.get(), MHD_DAEMON_INFO_EPOLL_FD);
    daemon->epollFd = info ? info->epoll_fd : -1;
    daemon->token = m_poller.add(daemon->epollFd, EPOLLIN, [this](std::uint32_t) { run(); });
    if (daemon->token == 0)
        return "cannot watch the " + m_where + ": " + std::strerror(errno);
    m_daemons.push_back(std::move(daemon));
    arm();
    return {};
}

void MetricsServer::onTimer() {
    run();
}

void MetricsServer::run() {
    for (const auto& daemon : m_daemons)
        MHD_run(daemon->daemon.get());
    // Daemons that no longer listen go when their last connection has.
    for (auto it = m_daemons.begin(); it != m_daemons.end();) {
        const MHD_DaemonInfo* info =
            (*it)->listening ? nullptr
                             : MHD_get_daemon_info((*it)->daemon.get(), MHD_DAEMON_INFO_CURRENT_CONNECTIONS);
        if (info && info->num_connections == 0) {
            m_poller.remove((*it)->token, (*it)->epollFd);
            it = m_daemons.erase(it);
        } else {
            ++it;
        }
    }
    arm();
}

void MetricsServer::arm() {
    std::optional<MHD_UNSIGNED_LONG_LONG> soonest;
    for (const auto& daemon : m_daemons) {
        if (!daemon->listening) // looked at again until it has gone
            soonest = std::min<MHD_UNSIGNED_LONG_LONG>(soonest.value_or(kRetiredCheckMs), kRetiredCheckMs);
        MHD_UNSIGNED_LONG_LONG wait = 0;
        if (MHD_get_timeout(daemon->daemon.get(), &wait) == MHD_YES && (!soonest || wait < *soonest))
            soonest = wait;
    }
    if (soonest)
        m_timers.start(kHttpTimer, m_now() + std::chrono::milliseconds(*soonest));
    else
        m_timers.stop(kHttpTimer);
}

} // namespace tavrel

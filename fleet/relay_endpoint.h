// The relay of one watched repeater: a TCP endpoint on which windows speak to the collector as they would to
// the repeater, each client's commands judged by the relay's rules, the repeater's O&M bytes passed to every
// client, and copies of the repeater's datagrams sent where each client asked. Carried by the fleet's poller
// and timer schedule.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include <netinet/in.h>

#include "fleet/collector_config.h"
#include "fleet/fleet_context.h"
#include "fleet/relay_rules.h"
#include "fleet/repeater_metrics.h"
#include "platform/socket.h"
#include "protocol/om_command_splitter.h"

namespace tavrel {

// What the relay asks of the watched repeater that carries it.
struct RelayHooks {
    // One command on the repeater's O&M link; false when it was not sent.
    std::function<bool(std::string_view text)> sendToRepeater;
    // A line for the repeater's run log (the collector's own log gets it too).
    std::function<void(std::string_view line)> writeDown;
    // Whether any client wants the repeater's air log changed.
    std::function<void()> airLogWishChanged;
};

class RelayEndpoint {
public:
    // The quiet-gap timer of the clients' pending commands, numbered apart from the link's and the rules'.
    static constexpr int kFlushTimer = 210;
    // Bytes a client may have waiting to be sent; one that lets it fill is dropped.
    static constexpr std::size_t kClientQueueBytes = 256 * 1024;
    // A client that sends nothing for this long is closed. A window sends its heartbeat every 5 s, so only
    // a window that is gone without a word, or a client that is no window, keeps a slot this long unheard.
    static constexpr std::chrono::seconds kIdleLimit{30};
    static constexpr int kIdleTimer = 211;

    RelayEndpoint(std::uint32_t owner, const WatchedRepeaterConfig& config, FleetContext& fleet,
                  RepeaterMetrics& metrics, RelayHooks hooks);
    ~RelayEndpoint();
    RelayEndpoint(const RelayEndpoint&) = delete;
    RelayEndpoint& operator=(const RelayEndpoint&) = delete;

    // Binds the endpoint once to find faults early (and the port, when 0 was given); it listens only while
    // the repeater's link is up. A message naming the endpoint and why when that fails.
    std::string open();
    // The repeater's link came up: clients are taken from now on.
    void onLinkUp();
    // The repeater's link is lost: every client is closed and new ones are refused until it is back.
    void onLinkDown();
    // Bytes the repeater sent on its O&M link.
    void onRepeaterBytes(std::string_view bytes);
    // A datagram of the repeater's log or air log: copied to each client's destination.
    void onLogDatagram(std::span<const char> bytes) { copyDatagram(bytes, false); }
    void onAirRecord(std::span<const char> bytes) { copyDatagram(bytes, true); }
    static bool ownsTimer(int id) { return id == kFlushTimer || id == kIdleTimer; }
    // One of its timers is due: kFlushTimer ends the commands left open for the quiet gap, kIdleTimer closes
    // the clients unheard for kIdleLimit.
    void onTimer(int id);

    bool clientsWantAirLog() const;
    std::size_t clientCount() const { return m_clients.size(); }
    // Clients that told the relay where they want the repeater's log.
    std::size_t clientsWithLogDestination() const;
    std::uint16_t port() const { return m_port; }

private:
    struct Client {
        Socket socket;
        EventPoller::Token token = 0;
        std::uint32_t address = 0;
        std::string origin; // "ADDRESS:PORT"
        std::string queue;  // bytes the socket has not taken yet
        om::CommandSplitter splitter;
        TimerSchedule::Clock::time_point lastBytes{}; // when the client was last heard (or accepted)
        std::optional<sockaddr_in> logTo;
        std::optional<sockaddr_in> airTo;
        bool wantsAirLog = false;
        bool refusalTold = false;
    };

    bool reservePort();
    bool listen();
    void stopListening();
    void acceptClients();
    void onClientEvents(std::uint64_t id, std::uint32_t events);
    void readClient(std::uint64_t id, Client& client);
    void handleCommand(Client& client, const std::string& command);
    // Queues or writes the bytes; false when the client's queue is full.
    bool deliver(Client& client, std::string_view bytes);
    bool writeQueued(Client& client);
    void drop(std::uint64_t id, const std::string& why);
    void copyDatagram(std::span<const char> bytes, bool air);
    void armFlush();
    void flushQuietCommands();
    void closeUnheardClients();
    // Due when the client heard from longest ago reaches kIdleLimit; stopped while there is none.
    void armIdleCheck();
    void syncClientCount();
    void say(const std::string& text) const;

    const std::uint32_t m_owner;
    const WatchedRepeaterConfig& m_config;
    FleetContext& m_fleet;
    RepeaterMetrics& m_metrics;
    RelayHooks m_hooks;
    // Bound, never listening: holds the port while the listener is closed, so that no outgoing connection
    // takes it as its local port meanwhile and the listener can always come back.
    Socket m_reservation;
    Socket m_listener;
    EventPoller::Token m_listenToken = 0;
    std::uint16_t m_port = 0;
    Socket m_copies; // sends the datagrams' copies
    std::map<std::uint64_t, Client> m_clients;
    std::uint64_t m_nextClient = 1;
    bool m_linkUp = false;
    bool m_wantedAirLog = false;
    std::set<std::uint32_t> m_toldStrangers; // each refused address is told once
};

} // namespace tavrel

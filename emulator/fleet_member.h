// One emulated repeater on its own address as its carrier sees it: the repeater itself (no I/O) and the
// listener, connection and UDP socket it asks for, watched by the loop's one epoll set.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/emulated_repeater.h"
#include "emulator/emulator_options.h"
#include "platform/event_poller.h"
#include "platform/socket.h"

namespace tavrel::emulator {

class FleetMember;

// What a member tells the loop that carries it.
class MemberHost {
public:
    virtual ~MemberHost() = default;
    // The time the loop woke up with, for every event of this pass.
    virtual EmulatedRepeater::Clock::time_point now() const = 0;
    // The member took a new connection.
    virtual void accepted(FleetMember& member) = 0;
    // The member handled an event: its next deadline may have moved.
    virtual void changed(FleetMember& member) = 0;
};

class FleetMember final : public RepeaterOutput {
public:
    using Clock = EmulatedRepeater::Clock;
    static constexpr std::size_t kMaxKeptCommands = 100'000;

    // `index` is the member's place in its fleet (0-based); with keepCommands it keeps the command texts
    // it receives (a test's view; a large fleet does without).
    FleetMember(int index, EmulatorOptions options, EventPoller& poller, MemberHost& host, bool keepCommands);
    ~FleetMember() override;
    FleetMember(const FleetMember&) = delete;
    FleetMember& operator=(const FleetMember&) = delete;

    // Binds the UDP socket to the member's address, so its datagrams come from there as a real repeater's
    // do, and powers the repeater on; false with the reason in error().
    bool start(Clock::time_point now);

    EmulatedRepeater& repeater() { return m_repeater; }
    const EmulatedRepeater& repeater() const { return m_repeater; }
    int index() const { return m_index; }
    const std::string& address() const { return m_options.address; }
    const std::string& error() const { return m_error; }
    const std::vector<std::string>& receivedCommands() const { return m_received; }
    void clearReceivedCommands() { m_received.clear(); }

    std::string listen() override;
    void stopListening() override;
    bool reply(std::string_view text) override;
    void closeConnection() override;
    bool sendDatagram(const Endpoint& destination, std::span<const std::uint8_t> bytes) override;
    void received(const std::string& text) override;
    void say(std::string_view text) override;

private:
    void onListenerReady();
    void onConnectionReady();
    void unwatch(EventPoller::Token& token, const Socket& socket);

    const int m_index;
    const EmulatorOptions m_options;
    EventPoller& m_poller;
    MemberHost& m_host;
    const bool m_keepCommands;
    std::string m_error;
    Socket m_listener;
    Socket m_connection;
    Socket m_udp;
    EventPoller::Token m_listenerToken = 0;
    EventPoller::Token m_connectionToken = 0;
    std::vector<std::string> m_received;
    EmulatedRepeater m_repeater; // last: it calls back into the sockets above
};

} // namespace tavrel::emulator

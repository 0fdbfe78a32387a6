// One emulated repeater of a fleet: its own O&M listener, connection and UDP socket on its own address,
// driven by the fleet's single poll thread instead of a thread of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "emulator/air_record_generator.h"
#include "emulator/command_splitter.h"
#include "emulator/emulator_options.h"
#include "emulator/rate_pacer.h"
#include "emulator/repeater_model.h"
#include "platform/socket.h"

namespace tavrel::emulator {

class FleetMember {
public:
    using Clock = std::chrono::steady_clock;
    // What the fleet's epoll set learns of a member's descriptors: index * 2 + which.
    static constexpr std::uint64_t kListenerTag = 0;
    static constexpr std::uint64_t kConnectionTag = 1;

    FleetMember(int index, EmulatorOptions options, int epollFd);

    // Binds the UDP socket to the member's address and opens the listener; false with the reason in error().
    bool start(Clock::time_point now);
    // Power switch: off closes the port and the connection, forgets the destinations and sends nothing more.
    void switchOff();
    void switchOn(Clock::time_point now);
    void reboot(Clock::time_point now);
    void dropConnection() { closeConnection(); }
    void setAlarmBits(int bits) { m_model.setExternalAlarmBits(bits); }
    bool sendLog(std::string_view text);

    void onListenerReady(Clock::time_point now);
    void onConnectionReady(Clock::time_point now);
    // Runs what is due and returns the next deadline, if any.
    std::optional<Clock::time_point> runTimers(Clock::time_point now);

    const std::string& address() const { return m_options.address; }
    const std::string& error() const { return m_error; }
    bool connected() const { return m_connection.valid(); }
    bool poweredOn() const { return m_poweredOn; }
    int connectionCount() const { return m_connectionCount; }
    int alarmBits() const { return m_model.alarmBits(); }
    std::uint64_t numberedLinesSent() const { return m_numberedLines; }
    std::uint64_t commandsReceived() const { return m_commandsReceived; }
    // When the last connection was accepted; nothing before the first.
    std::optional<Clock::time_point> lastAccept() const { return m_lastAccept; }

private:
    bool openListener();
    void watch(int fd, std::uint64_t tag);
    void closeConnection();
    void handleCommand(const std::string& text, Clock::time_point now);
    bool sendDatagram(const std::optional<Endpoint>& destination, const void* data, std::size_t size);
    std::chrono::seconds uptime(Clock::time_point now) const;

    const int m_index;
    const EmulatorOptions m_options;
    const int m_epollFd;
    std::string m_error;
    Socket m_listener;
    Socket m_connection;
    Socket m_udp;
    RepeaterModel m_model;
    AirRecordGenerator m_airGenerator;
    CommandSplitter m_splitter;
    RatePacer m_statusPacer;
    RatePacer m_numberedLinePacer;
    RatePacer m_airPacer;
    Clock::time_point m_bootTime{};
    Clock::time_point m_lastRead{};
    std::optional<Clock::time_point> m_rebootUntil;
    std::optional<Clock::time_point> m_lastAccept;
    bool m_poweredOn = false;
    int m_connectionCount = 0;
    std::uint64_t m_numberedLines = 0;
    std::uint64_t m_commandsReceived = 0;
};

} // namespace tavrel::emulator

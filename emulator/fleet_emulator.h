// Many emulated repeaters in one process on consecutive addresses, all served by one poll thread: the other
// side of a fleet collector for tests and benchmarks.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "emulator/emulator_options.h"
#include "emulator/fleet_member.h"
#include "platform/wake_event.h"

namespace tavrel::emulator {

struct FleetStats {
    int members = 0;
    int poweredOn = 0;
    int connected = 0;
    std::uint64_t connections = 0;
    std::uint64_t numberedLinesSent = 0;
    std::uint64_t commandsReceived = 0;
    // The most connections accepted by the whole fleet within one millisecond, counted since the last reset.
    int mostAcceptsInOneMs = 0;
};

// The address `offset` places after `first` ("127.0.10.255" + 1 is "127.0.11.0"); empty when not IPv4.
std::string addressAfter(std::string_view first, int offset);

class FleetEmulator {
public:
    using Clock = FleetMember::Clock;

    // Member i (1-based) listens on addressAfter(firstAddress, i - 1); every member takes the same options.
    FleetEmulator(EmulatorOptions options, int count, std::string firstAddress);
    ~FleetEmulator();
    FleetEmulator(const FleetEmulator&) = delete;
    FleetEmulator& operator=(const FleetEmulator&) = delete;

    // Opens every member's sockets and starts the thread; false with the first failure in error().
    bool start();
    void stop();
    const std::string& error() const { return m_error; }
    int size() const { return static_cast<int>(m_members.size()); }
    std::string address(int member) const;

    // Each acts on one member (1-based) or, with 0, on all; false for a number out of range.
    bool setAlarmBits(int member, int bits);
    bool switchOff(int member);
    bool switchOn(int member);
    bool reboot(int member);
    bool dropConnection(int member);
    bool sendLog(int member, std::string_view text);
    int alarmBits(int member) const;

    FleetStats stats() const;
    void resetAcceptCount();

private:
    template <typename Action> bool forMembers(int member, Action action);
    void run();

    // The epoll descriptor, closed after the members' descriptors (declared before them).
    class EpollSet {
    public:
        EpollSet();
        ~EpollSet();
        EpollSet(const EpollSet&) = delete;
        EpollSet& operator=(const EpollSet&) = delete;
        int fd() const { return m_fd; }

    private:
        int m_fd;
    };

    EpollSet m_epollSet;
    const int m_epoll = m_epollSet.fd();
    std::vector<std::unique_ptr<FleetMember>> m_members;
    WakeEvent m_wake;
    mutable std::mutex m_mutex; // held by the thread while it handles events, and by every call above
    std::thread m_thread;
    bool m_stop = false;
    std::string m_error;
    // Accepts per millisecond since the last reset: the current millisecond, its count and the highest.
    std::int64_t m_acceptMs = -1;
    int m_acceptsThisMs = 0;
    int m_mostAcceptsInOneMs = 0;
};

} // namespace tavrel::emulator

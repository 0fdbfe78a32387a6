// Emulated repeaters on consecutive addresses, all carried by one event loop on one thread: one epoll set
// for every listener and connection, one timer schedule for every repeater's deadline. A fleet of one with
// a console is the single repeater of tavrel-repeater and of the in-process tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "emulator/emulator_options.h"
#include "emulator/fleet_member.h"
#include "platform/event_poller.h"
#include "platform/timer_schedule.h"
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

// How the loop carries its members.
struct FleetTuning {
    // Each member keeps every command text it received (for tests; a large fleet does without).
    bool keepCommands = false;
    // Due timers are run together at most this often: a thousand log pacers would otherwise wake the thread
    // tens of thousands of times a second (each pacer sends what came due meanwhile). 0: each timer at its
    // own moment, as a single repeater paces its logs.
    std::chrono::milliseconds timerGranularity{2};
};

// The address `offset` places after `first` ("127.0.10.255" + 1 is "127.0.11.0"); empty when not IPv4.
std::string addressAfter(std::string_view first, int offset);

class FleetEmulator final : private MemberHost {
public:
    using Clock = FleetMember::Clock;

    // Member i (1-based) listens on addressAfter(firstAddress, i - 1); every member takes the same options.
    FleetEmulator(EmulatorOptions options, int count, std::string firstAddress, FleetTuning tuning = {});
    ~FleetEmulator() override;
    FleetEmulator(const FleetEmulator&) = delete;
    FleetEmulator& operator=(const FleetEmulator&) = delete;

    // Powers every member on and starts the thread; false with the first failure in error(), or when
    // already running. A failed start leaves every member off, so it may be tried again.
    bool start();
    // Closes every connection and joins the thread; idempotent.
    void stop();
    const std::string& error() const { return m_error; }
    int size() const { return static_cast<int>(m_members.size()); }
    std::string address(int member) const;

    // Each acts on one member (1-based) or, with 0, on all; false for a number out of range (and for the
    // sends, when any of them was not sent).
    bool setAlarmBits(int member, int bits);
    bool switchOff(int member);
    bool switchOn(int member);
    bool reboot(int member);
    bool dropConnection(int member);
    bool sendLog(int member, std::string_view text);
    bool sendAirRecord(int member);
    bool sendAirBytes(int member, std::span<const std::uint8_t> bytes);
    bool clearReceivedCommands(int member);

    // What `look` returns for one member (1-based), read under the loop's lock.
    template <typename Look> auto inspect(int member, Look look) const {
        std::lock_guard lock(m_mutex);
        return look(*m_members.at(static_cast<std::size_t>(member - 1)));
    }
    // Waits until `ready` holds for the member; it is asked again after each turn of the loop.
    bool waitUntil(int member, std::chrono::milliseconds timeout,
                   const std::function<bool(const FleetMember&)>& ready);

    FleetStats stats() const;
    void resetAcceptCount();

private:
    template <typename Action> bool forMembers(int member, Action action);
    void run();
    void runDueTimers(Clock::time_point now);
    void schedule(FleetMember& member);

    Clock::time_point now() const override { return m_now; }
    void accepted(FleetMember& member) override;
    void changed(FleetMember& member) override { schedule(member); }

    const FleetTuning m_tuning;
    mutable std::mutex m_mutex; // held by the thread while it handles events, and by every call above
    std::condition_variable m_changed;
    EventPoller m_poller; // before the members, whose descriptors it watches
    WakeEvent m_wake;
    TimerSchedule m_timers; // one deadline per member, keyed by its index
    std::vector<std::unique_ptr<FleetMember>> m_members;
    std::thread m_thread;
    bool m_stop = false;
    Clock::time_point m_now{};
    std::string m_error;
    // Accepts per millisecond since the last reset: the current millisecond, its count and the highest.
    std::int64_t m_acceptMs = -1;
    int m_acceptsThisMs = 0;
    int m_mostAcceptsInOneMs = 0;
};

} // namespace tavrel::emulator

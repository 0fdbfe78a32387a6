// One emulated DMR repeater in-process, for tests and benchmarks: a fleet of one on its own thread, with
// calls that may come from any thread and waits for what the repeater has seen.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/emulated_repeater.h"
#include "emulator/emulator_options.h"
#include "emulator/fleet_emulator.h"

namespace tavrel::emulator {

// One monitor connection at a time: a new connection replaces the current one (a monitor that reconnects
// after a silent loss must not be locked out by its own dead connection). The console callback, if any,
// runs on the emulator's thread with its lock held, so it must not call back into the emulator.
class RepeaterEmulator {
public:
    using Clock = EmulatedRepeater::Clock;
    static constexpr std::size_t kMaxKeptCommands = FleetMember::kMaxKeptCommands;

    explicit RepeaterEmulator(EmulatorOptions options);

    // Listens on address:2301 (unless refusing) and starts the thread. False when the port cannot be
    // bound (the console says why) or when already running.
    bool start();
    // Closes everything and joins the thread; idempotent, also done by the destructor.
    void stop() { m_fleet.stop(); }

    // Alarm bits reported from now on (the PLL lock alarms are added); a later script step replaces them.
    void setAlarmBits(int bits) { m_fleet.setAlarmBits(1, bits); }
    int alarmBits() const;

    // One text datagram to the log destination, or one air record to the air-log destination; false when
    // no destination is set or the send failed.
    bool sendLog(std::string_view text) { return m_fleet.sendLog(1, text); }
    bool sendAirRecord() { return m_fleet.sendAirRecord(1); }
    bool sendAirBytes(std::span<const std::uint8_t> bytes) { return m_fleet.sendAirBytes(1, bytes); }

    // Both have acted when they return: after reboot() the port refuses connections for the reboot time and
    // the log destinations are forgotten; after dropConnection() the connection is closed.
    void reboot() { m_fleet.reboot(1); }
    void dropConnection() { m_fleet.dropConnection(1); }

    // Every command text received, in order (the oldest are dropped beyond kMaxKeptCommands).
    std::vector<std::string> receivedCommands() const;
    void clearReceivedCommands() { m_fleet.clearReceivedCommands(1); }
    bool waitForCommand(std::string_view text, std::chrono::milliseconds timeout);
    bool waitForListening(std::chrono::milliseconds timeout);
    bool waitForConnectionCount(int count, std::chrono::milliseconds timeout);

    int connectionCount() const;
    bool connected() const;
    bool listening() const;
    std::optional<Endpoint> logDestination() const;
    std::optional<Endpoint> airDestination() const;
    int channel() const;
    bool paOn() const;
    EmulatorCounters counters() const;

private:
    template <typename Look> auto look(Look look) const {
        return m_fleet.inspect(1, [&](const FleetMember& member) { return look(member.repeater()); });
    }

    FleetEmulator m_fleet;
};

} // namespace tavrel::emulator

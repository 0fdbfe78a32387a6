// How an emulated repeater behaves: address, reboot time, alarms, log and air-record rates and sizes, faults.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "emulator/air_record_generator.h"
#include "emulator/alarm_script.h"
#include "protocol/om_commands.h"

namespace tavrel::emulator {

using om::kOmPort;
inline constexpr const char* kDefaultAddress = "127.0.0.2";
inline constexpr std::chrono::milliseconds kDefaultRebootTime{3000};
inline constexpr std::size_t kDefaultLogLineBytes = 100;

struct EmulatorOptions {
    std::string address = kDefaultAddress;
    std::chrono::milliseconds rebootTime = kDefaultRebootTime;
    int alarmBits = 0;
    // Steps counted from the first power-on; each step replaces the alarm bits in force.
    AlarmScript alarmScript;
    // Extra numbered log lines per second (0: none), each logLineBytes long.
    double logLinesPerSecond = 0;
    std::size_t logLineBytes = kDefaultLogLineBytes;
    double airRecordsPerSecond = kDmrAirRecordsPerSecond;
    std::size_t airRecordBytes = kAirRecordBytes;
    // Never listen on the O&M port.
    bool refuse = false;
    // Close every accepted connection this long after accepting it.
    std::optional<std::chrono::milliseconds> dropAfter;
    // No "ALIVE" status line every second.
    bool quiet = false;
    // Seed of the varying readings and air records, so runs can be repeated.
    std::uint32_t seed = 2301;
    // Receives each time-stamped console line: commands received, connections, reboots. Empty: silent (a
    // fleet's members are). It runs on the emulator's thread, or on the thread of a call into it, with the
    // emulator's lock held, so it must not call back into the emulator.
    std::function<void(const std::string&)> console;
};

} // namespace tavrel::emulator

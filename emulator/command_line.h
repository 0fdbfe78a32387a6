// The tavrel-repeater program's command-line options, its --help text and its standard-input control lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "emulator/emulator_options.h"

namespace tavrel::emulator {

// Fleet mode's defaults: the first of many loopback addresses, and the most repeaters one process plays.
inline constexpr const char* kDefaultFirstAddress = "127.0.10.1";
inline constexpr int kMaxFleet = 10000;

struct CommandLine {
    EmulatorOptions options;
    int fleet = 0; // more than 0: that many repeaters from firstAddress on, instead of one on options.address
    std::string firstAddress = kDefaultFirstAddress;
    bool showHelp = false;
    std::string error; // not empty: the arguments were refused, and why
};

CommandLine parseCommandLine(const std::vector<std::string_view>& arguments);

// The text --help prints: every option and every control line.
std::string helpText();

// The control lines read from standard input.
std::string controlHelpText();

enum class ControlKind { Alarm, Log, Air, Reboot, Drop, Quit, Help, Empty, Invalid };

struct ControlLine {
    ControlKind kind = ControlKind::Invalid;
    int alarmBits = 0;
    std::string text; // Log: the datagram, with \n and \\ turned into a line break and a backslash
};

ControlLine parseControlLine(std::string_view line);

// The control lines of fleet mode: each names a repeater by its number (1-based) or "all".
std::string fleetControlHelpText();

enum class FleetControlKind { Alarm, Log, Off, On, Reboot, Drop, Stats, Quit, Help, Empty, Invalid };

struct FleetControl {
    FleetControlKind kind = FleetControlKind::Invalid;
    int member = 0; // 0: all
    int alarmBits = 0;
    std::string text;
};

FleetControl parseFleetControlLine(std::string_view line);

} // namespace tavrel::emulator

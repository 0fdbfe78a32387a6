// The tavrel-repeater program's command-line options, its --help text and its standard-input control lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "emulator/emulator_options.h"

namespace tavrel::emulator {

struct CommandLine {
    EmulatorOptions options;
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

} // namespace tavrel::emulator

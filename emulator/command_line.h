// The tavrel-repeater program's command-line options and its --help text.
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

// The arguments after the program's name, read with getopt_long: "--name value", "--name=value", and
// unambiguous abbreviations of the names.
CommandLine parseCommandLine(const std::vector<std::string_view>& arguments);

// The text --help prints: every option and every control line.
std::string helpText();

} // namespace tavrel::emulator

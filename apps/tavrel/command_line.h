// The tool's command line: values for the setup dialog, the relay to go through, --help and --version.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/setup_prefill.h"

namespace tavrel {

struct CommandLine {
    bool help = false;
    bool version = false;
    SetupPrefill prefill; // bad values and unknown arguments are in its problems
    // --via: the relay the O&M link connects to; empty address without one.
    std::string viaAddress;
    std::uint16_t viaPort = 0;
};

// The arguments after the program name, Qt's own options already taken out. "--option value" and
// "--option=value" both work; a later value of an option replaces an earlier one.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string usageText();
// "tavrel 1.0.0.7"
std::string versionText();

} // namespace tavrel

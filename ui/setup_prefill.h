// What the command line puts into the setup dialog before the operator sees it (plain data).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavrel {

struct SetupPrefill {
    std::optional<std::string> localAddress;    // dotted IPv4
    std::optional<std::string> repeaterAddress; // dotted IPv4
    std::optional<int> monitorRxPort;
    std::optional<int> airLogRxPort;
    // Values that could not be taken, each naming its option; the dialog shows them once it is up.
    std::vector<std::string> problems;
};

} // namespace tavrel

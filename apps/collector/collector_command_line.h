// The tavrel-collector program's options and its --help text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

struct CollectorCommandLine {
    std::string configPath;
    std::string webConfigPath; // --web.config.file: wins over web_config in the settings file
    bool checkConfig = false;
    bool showHelp = false;
    bool showVersion = false;
    std::string error; // not empty: the arguments were refused, and why
};

CollectorCommandLine parseCollectorCommandLine(const std::vector<std::string_view>& arguments);
std::string collectorHelpText();

} // namespace tavrel

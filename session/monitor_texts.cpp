// Formatting of the main window's texts; the banner carries this translation unit's build date and time.
#include "session/monitor_texts.h"

#include <system_error>

namespace tavrel {

std::string formatCaption(const MonitorSettings& settings) {
    return "Repeater[" + settings.repeaterAddress + "] -> Monitor[" + std::to_string(settings.monitorRxPort) +
           "@" + settings.localAddress + "]";
}

std::string versionBanner() {
    return "The Velmont v" + std::string(kVersionText) +
           ", build at " __DATE__ " " __TIME__ " by Brannock.\n";
}

std::string formatRunLogPath(std::string_view path) {
    return "Run log: " + std::string(path);
}

std::string formatRunLogNotCreated(std::string_view path, int systemError) {
    return "Cannot create the run log " + std::string(path) + ": " +
           std::generic_category().message(systemError);
}

std::string formatFileStopped(std::string_view path, int systemError) {
    return "Cannot write " + std::string(path) + ": " + std::generic_category().message(systemError) +
           "; lines are lost until it can be written again";
}

std::string formatFileResumed(std::string_view path) {
    return std::string(path) + " is written again";
}

std::string formatLinkStartFailure(int systemError, int result) {
    return "Fail to start O&M commu module,error=" + std::to_string(systemError) + "(" +
           std::to_string(result) + ")";
}

} // namespace tavrel

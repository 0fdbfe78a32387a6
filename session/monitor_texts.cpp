// Formatting of the main window's texts; the banner carries this translation unit's build date and time.
#include "session/monitor_texts.h"

namespace tavrel {

std::string formatCaption(const MonitorSettings& settings) {
    return "Repeater[" + settings.repeaterAddress + "] -> Monitor[" + std::to_string(settings.monitorRxPort) +
           "@" + settings.localAddress + "]";
}

std::string versionBanner() {
    return "The Velmont v" + std::string(kVersionText) +
           ", build at " __DATE__ " " __TIME__ " by Brannock.\n";
}

std::string formatLinkStartFailure(int systemError, int result) {
    return "Fail to start O&M commu module,error=" + std::to_string(systemError) + "(" +
           std::to_string(result) + ")";
}

} // namespace tavrel

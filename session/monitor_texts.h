// The monitor's own texts: caption, version banner, connection lines and the link-start failure.
#pragma once

#include <string>
#include <string_view>

#include "session/monitor_settings.h"

namespace tavrel {

inline constexpr std::string_view kApplicationName = "Tavrel";
// From the project's version in CMake.
inline constexpr std::string_view kVersionText = TAVREL_VERSION;
inline constexpr std::string_view kRepeaterConnected = "Repeter connected";
inline constexpr std::string_view kRepeaterDisconnected = "Repeter disconnected";

// "Repeater[<repeater>] -> Monitor[<monitor rx port>@<local address>]"
std::string formatCaption(const MonitorSettings& settings);

// "The Velmont v1.0.0.7, build at <date> <time> by Brannock.\n", with this program's build date and time.
std::string versionBanner();

// "Fail to start O&M commu module,error=<system error>(<start result>)"
std::string formatLinkStartFailure(int systemError, int result);

} // namespace tavrel

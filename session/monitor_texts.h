// The monitor's own texts: caption, version banner, connection lines, the run files' lines and the link-start
// failure.
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

// "Run log: <path>": the event log's line after the banner, so the operator knows where the run is filed.
std::string formatRunLogPath(std::string_view path);

// "Cannot create the run log <path>: <system's reason>"
std::string formatRunLogNotCreated(std::string_view path, int systemError);

// "Cannot write <path>: <system's reason>; lines are lost until it can be written again"
std::string formatFileStopped(std::string_view path, int systemError);

// "<path> is written again"
std::string formatFileResumed(std::string_view path);

// "Fail to start O&M commu module,error=<system error>(<start result>)"
std::string formatLinkStartFailure(int systemError, int result);

} // namespace tavrel

// The four values that define a monitoring run, entered in the setup dialog, and the rules that check them.
#pragma once

#include <string>

namespace tavrel {

struct MonitorSettings {
    std::string localAddress;    // dotted IPv4, at most 15 characters: where both UDP receivers bind
    int monitorRxPort = 0;       // repeater-log port; a receiver binds its low 16 bits
    int airLogRxPort = 0;        // air-log port
    std::string repeaterAddress; // dotted IPv4, at most 15 characters: the repeater's O&M address
};

inline constexpr int kFirstMonitorRxPort = 44320;
inline constexpr int kFirstAirLogRxPort = 45320;

inline int defaultMonitorRxPort(int instanceSlot) { return kFirstMonitorRxPort + 2 * instanceSlot; }
inline int defaultAirLogRxPort(int instanceSlot) { return kFirstAirLogRxPort + 2 * instanceSlot; }

} // namespace tavrel

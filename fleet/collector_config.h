// The collector's settings file: a [collector] section and one section per watched repeater, read line by
// line (fleet/ini_index.h) so that a mistake is reported with its file and line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/relay_rules.h"

namespace tavrel {

inline constexpr std::uint16_t kDefaultCollectorLogPort = 44320;
inline constexpr std::uint16_t kDefaultCollectorAirPort = 45320;
inline constexpr std::string_view kDefaultMetricsListen = "127.0.0.1:9479";
inline constexpr int kDefaultKeepDays = 90;

struct WatchedRepeaterConfig {
    std::string name; // the section's name, the `repeater` label of its metrics
    std::string address;
    bool airLog = false;
    // The relay that shares this repeater's links with technicians' windows; none without relay_listen.
    std::optional<HostPort> relayListen{};
    std::vector<Cidr> relayAllow = loopbackOnly();
    std::size_t relayMaxClients = kDefaultRelayMaxClients;
    bool relayCommands = true;

    friend bool operator==(const WatchedRepeaterConfig&, const WatchedRepeaterConfig&) = default;
};

struct CollectorConfig {
    std::string localAddress; // announced in SETLOGDST and AILOGON, and where both UDP ports are bound
    std::uint16_t logPort = kDefaultCollectorLogPort;
    std::uint16_t airPort = kDefaultCollectorAirPort;
    std::string metricsAddress = "127.0.0.1";
    std::uint16_t metricsPort = 9479;
    std::string stateDir;
    // Files of a repeater dated (by name, else by modification time) more than this many days back are
    // removed.
    int keepDays = kDefaultKeepDays;
    // While the state directory holds more than this many MiB, its oldest files are removed; 0: no limit.
    std::uint64_t maxStateMb = 0;
    // Each run file stays open between lines rather than being opened and closed for every line.
    bool keepFilesOpen = true;
    std::string webConfig; // web_config: the exporter toolkit's web configuration file; empty: plain HTTP
    std::vector<WatchedRepeaterConfig> repeaters; // in the file's order
};

// Where state_dir comes from when the file does not set it.
struct ConfigEnvironment {
    std::string stateDirectory; // $STATE_DIRECTORY (systemd's StateDirectory=); the first of its list
    std::string xdgStateHome;   // $XDG_STATE_HOME
    std::string home;           // $HOME, for XDG's default ~/.local/state
};
ConfigEnvironment processEnvironment();

struct ConfigResult {
    std::optional<CollectorConfig> config;
    std::string error; // "FILE:LINE: what is wrong" when config is empty
};

ConfigResult loadCollectorConfig(const std::string& path, const ConfigEnvironment& environment);

} // namespace tavrel

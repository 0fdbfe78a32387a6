// Reads the collector's settings from the line scan and checks every section and key, each key by its entry
// in one table per section.
#include "fleet/collector_config.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <string_view>

#include "fleet/ini_index.h"
#include "fleet/setting_text.h"

namespace tavrel {
namespace {

constexpr std::string_view kCollectorSection = "collector";
constexpr std::size_t kMostRelayClients = 1024;

bool isIPv4(const std::string& text) {
    return parseIPv4(text).has_value();
}

bool validName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
               c == '_';
    });
}

// Remembers the first fault of one file, with its line.
class ConfigReader {
public:
    explicit ConfigReader(const std::string& path) : m_path(path) {}

    bool failed() const { return !m_error.empty(); }
    const std::string& error() const { return m_error; }

    void fail(int line, const std::string& what) {
        if (!m_error.empty())
            return;
        // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on "..." + std::string&& here.
        m_error = m_path;
        if (line > 0)
            m_error.append(":").append(std::to_string(line));
        m_error.append(": ").append(what);
    }

private:
    const std::string& m_path;
    std::string m_error;
};

// One key's value read as the type its setting needs; a value that does not fit is reported with the key's
// line, and the setting keeps its default.
class Field {
public:
    Field(ConfigReader& reader, const IniKey& key) : m_reader(reader), m_key(key) {}

    // Any text but the empty one.
    std::string text() const {
        if (m_key.value.empty())
            fail("is empty: it needs a value");
        return m_key.value;
    }
    std::string ipv4() const {
        const std::string address = text();
        if (!address.empty() && !isIPv4(address))
            fail("'" + address + "' is not an IPv4 address");
        return address;
    }
    std::uint16_t port(std::uint16_t fallback) const {
        const auto port = parsePort(m_key.value);
        if (!port)
            fail("'" + m_key.value + "' is out of range: a port is 1 to 65535");
        return port.value_or(fallback);
    }
    std::uint64_t number(std::uint64_t least, std::uint64_t most, std::uint64_t fallback) const {
        const auto value = parseNumber(m_key.value);
        if (!value || *value < least || *value > most) {
            fail("'" + m_key.value + "' is not a whole number from " + std::to_string(least) + " to " +
                 std::to_string(most));
            return fallback;
        }
        return *value;
    }
    bool onOff() const {
        if (m_key.value != "on" && m_key.value != "off")
            fail("'" + m_key.value + "' is neither on nor off");
        return m_key.value == "on";
    }
    // ADDRESS:PORT, an IPv4 address and a port; nothing when it is not.
    std::optional<std::pair<std::string, std::uint16_t>> listen() const {
        const std::string& value = m_key.value;
        const auto colon = value.rfind(':');
        const std::string host = colon == std::string::npos ? std::string() : value.substr(0, colon);
        const auto port = colon == std::string::npos ? std::nullopt : parsePort(value.substr(colon + 1));
        if (!isIPv4(host) || !port) {
            fail("'" + value + "' is not ADDRESS:PORT (IPv4, port 1 to 65535)");
            return std::nullopt;
        }
        return std::pair(host, *port);
    }

    // A value of a kind of its own: parsed by the caller, refused with what it should have been.
    template <typename T>
    std::optional<T> parsed(std::optional<T> (*parse)(std::string_view), std::string_view expected) const {
        auto value = parse(m_key.value);
        if (!value)
            fail("'" + m_key.value + "' is not " + std::string(expected));
        return value;
    }

private:
    void fail(const std::string& what) const { m_reader.fail(m_key.line, m_key.name + " " + what); }

    ConfigReader& m_reader;
    const IniKey& m_key;
};

// A key of a section and how its value goes into the settings. A new key is one line in its table (and the
// field it fills).
template <typename Settings> struct KeyRule {
    std::string_view name;
    void (*read)(const Field& field, Settings& settings);
};

const KeyRule<CollectorConfig> kCollectorKeys[] = {
    {"local_address", [](const Field& f, CollectorConfig& c) { c.localAddress = f.ipv4(); }},
    {"log_port", [](const Field& f, CollectorConfig& c) { c.logPort = f.port(c.logPort); }},
    {"air_port", [](const Field& f, CollectorConfig& c) { c.airPort = f.port(c.airPort); }},
    {"metrics_listen",
     [](const Field& f, CollectorConfig& c) {
         if (const auto listen = f.listen())
             std::tie(c.metricsAddress, c.metricsPort) = *listen;
     }},
    {"state_dir", [](const Field& f, CollectorConfig& c) { c.stateDir = f.text(); }},
    {"keep_days",
     [](const Field& f, CollectorConfig& c) { c.keepDays = static_cast<int>(f.number(1, 36500, 90)); }},
    {"keep_files_open", [](const Field& f, CollectorConfig& c) { c.keepFilesOpen = f.onOff(); }},
    {"max_state_mb", [](const Field& f, CollectorConfig& c) { c.maxStateMb = f.number(1, 1u << 30, 0); }},
    {"web_config", [](const Field& f, CollectorConfig& c) { c.webConfig = f.text(); }},
};

const KeyRule<WatchedRepeaterConfig> kRepeaterKeys[] = {
    {"address", [](const Field& f, WatchedRepeaterConfig& r) { r.address = f.ipv4(); }},
    {"air_log", [](const Field& f, WatchedRepeaterConfig& r) { r.airLog = f.onOff(); }},
    {"relay_listen",
     [](const Field& f, WatchedRepeaterConfig& r) {
         r.relayListen = f.parsed(parseRelayListen, "ADDRESS:PORT or PORT (IPv4, port 1 to 65535)");
     }},
    {"relay_allow",
     [](const Field& f, WatchedRepeaterConfig& r) {
         if (const auto list = f.parsed(parseCidrList, "a list of IPv4 networks (A.B.C.D/N,...)"))
             r.relayAllow = *list;
     }},
    {"relay_max_clients",
     [](const Field& f, WatchedRepeaterConfig& r) {
         r.relayMaxClients = f.number(1, kMostRelayClients, r.relayMaxClients);
     }},
    {"relay_commands", [](const Field& f, WatchedRepeaterConfig& r) { r.relayCommands = f.onOff(); }},
};

// Reads every key of the section by its rule; an unknown key is reported with the known ones.
template <typename Settings, std::size_t N>
void readKeys(ConfigReader& reader, const IniSection& section, const KeyRule<Settings> (&rules)[N],
              Settings& settings) {
    for (const IniKey& key : section.keys) {
        const auto rule = std::find_if(std::begin(rules), std::end(rules),
                                       [&](const KeyRule<Settings>& r) { return r.name == key.name; });
        if (rule != std::end(rules)) {
            rule->read(Field(reader, key), settings);
            continue;
        }
        std::string known;
        for (const KeyRule<Settings>& r : rules)
            known.append(known.empty() ? "" : ", ").append(r.name);
        reader.fail(key.line,
                    "unknown key '" + key.name + "' in [" + section.name + "] (known: " + known + ")");
    }
}

void readCollectorSection(ConfigReader& reader, const IniSection& section, CollectorConfig& config,
                          const ConfigEnvironment& environment) {
    readKeys(reader, section, kCollectorKeys, config);
    if (!section.find("local_address"))
        reader.fail(section.line,
                    "[collector] needs local_address, the address the repeaters send their logs to");
    if (!reader.failed() && config.logPort == config.airPort)
        reader.fail(section.find("air_port") ? section.find("air_port")->line : section.line,
                    "air_port and log_port are both " + std::to_string(config.logPort));
    if (config.stateDir.empty()) {
        if (!environment.stateDirectory.empty())
            config.stateDir = environment.stateDirectory.substr(0, environment.stateDirectory.find(':'));
        else if (!environment.xdgStateHome.empty())
            config.stateDir = environment.xdgStateHome + "/tavrel-collector";
        else
            config.stateDir = environment.home + "/.local/state/tavrel-collector";
    }
}

void readRepeaterSection(ConfigReader& reader, const IniSection& section, CollectorConfig& config,
                         std::map<std::string, std::pair<std::string, int>>& addresses) {
    if (!validName(section.name)) {
        reader.fail(section.line,
                    "repeater name [" + section.name + "] may hold only letters, digits, '-' and '_'");
        return;
    }
    WatchedRepeaterConfig repeater;
    repeater.name = section.name;
    readKeys(reader, section, kRepeaterKeys, repeater);
    if (const IniKey* address = section.find("address"); !address)
        reader.fail(section.line, "[" + section.name + "] has no address");
    else if (const auto [it, added] = addresses.try_emplace(repeater.address, section.name, address->line);
             !added && !reader.failed())
        reader.fail(address->line, "address " + repeater.address + " is already [" + it->second.first +
                                       "]'s (line " + std::to_string(it->second.second) + ")");
    config.repeaters.push_back(std::move(repeater));
}

} // namespace

ConfigEnvironment processEnvironment() {
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return value ? std::string(value) : std::string();
    };
    return {variable("STATE_DIRECTORY"), variable("XDG_STATE_HOME"), variable("HOME")};
}

ConfigResult loadCollectorConfig(const std::string& path, const ConfigEnvironment& environment) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {std::nullopt, path + ": cannot be read"};
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const IniIndex index = indexIni(text);
    if (index.badLine != 0)
        return {std::nullopt, path + ":" + std::to_string(index.badLine) + ": " + index.badLineWhy};

    ConfigReader reader(path);
    CollectorConfig config;
    std::map<std::string, int> seen;
    std::map<std::string, std::pair<std::string, int>> addresses;
    bool haveCollector = false;
    for (const IniSection& section : index.sections) {
        if (const auto [it, added] = seen.try_emplace(section.name, section.line); !added) {
            reader.fail(section.line, "[" + section.name + "] appears twice (first on line " +
                                          std::to_string(it->second) + ")");
            break;
        }
        if (section.name == kCollectorSection) {
            haveCollector = true;
            readCollectorSection(reader, section, config, environment);
        } else {
            readRepeaterSection(reader, section, config, addresses);
        }
    }
    if (!haveCollector)
        reader.fail(0, "has no [collector] section");
    // Two relays on one endpoint would take turns at it: the second is a mistake.
    std::map<std::string, std::string> relays;
    for (const IniSection& section : index.sections)
        for (const WatchedRepeaterConfig& repeater : config.repeaters)
            if (repeater.name == section.name && repeater.relayListen) {
                const std::string at =
                    repeater.relayListen->address + ":" + std::to_string(repeater.relayListen->port);
                if (const auto [it, added] = relays.try_emplace(at, section.name); !added)
                    reader.fail(section.find("relay_listen")->line,
                                "relay_listen " + at + " is already [" + it->second + "]'s");
            }
    if (reader.failed())
        return {std::nullopt, reader.error()};
    return {std::move(config), {}};
}

} // namespace tavrel

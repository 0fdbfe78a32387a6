// Reads the collector's settings with QSettings and checks every section and key against the line index.
#include "fleet/collector_config.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <string_view>

#include "fleet/ini_index.h"
#include "platform/socket.h"

namespace tavrel {
namespace {

constexpr std::string_view kCollectorSection = "collector";
constexpr std::array<std::string_view, 5> kCollectorKeys{"local_address", "log_port", "air_port",
                                                         "metrics_listen", "state_dir"};
constexpr std::array<std::string_view, 6> kRepeaterKeys{"address",     "air_log",           "relay_listen",
                                                        "relay_allow", "relay_max_clients", "relay_commands"};
constexpr std::size_t kMostRelayClients = 1024;

std::string joined(std::span<const std::string_view> names) {
    std::string text;
    for (const std::string_view name : names)
        text.append(text.empty() ? "" : ", ").append(name);
    return text;
}

bool isIPv4(const std::string& text) {
    sockaddr_in address{};
    return makeIPv4Address(text, 0, address);
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

bool validName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
               c == '_';
    });
}

// Reads the values of one file and remembers the first fault, with its line.
class ConfigReader {
public:
    ConfigReader(const std::string& path, QSettings& settings) : m_path(path), m_settings(settings) {}

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

    std::string value(const IniSection& section, std::string_view key) const {
        const QString name = QString::fromStdString(section.name + "/" + std::string(key));
        return m_settings.value(name).toString().trimmed().toStdString();
    }

    // A value that may hold commas, which QSettings hands back as a list: joined again.
    std::string listValue(const IniSection& section, std::string_view key) const {
        const QVariant raw = m_settings.value(QString::fromStdString(section.name + "/" + std::string(key)));
        const QString text = raw.typeId() == QMetaType::QStringList
                                 ? raw.toStringList().join(QLatin1Char(','))
                                 : raw.toString();
        return text.trimmed().toStdString();
    }

    // The line of a key (the last one, as QSettings keeps the last of repeated keys); 0 when absent.
    static int lineOf(const IniSection& section, std::string_view key) {
        int line = 0;
        for (const IniKey& k : section.keys)
            if (k.name == key)
                line = k.line;
        return line;
    }

    void checkKnownKeys(const IniSection& section, std::span<const std::string_view> known) {
        for (const IniKey& key : section.keys)
            if (std::find(known.begin(), known.end(), key.name) == known.end())
                fail(key.line, "unknown key '" + key.name + "' in [" + section.name +
                                   "] (known: " + joined(known) + ")");
    }

    std::uint16_t port(const IniSection& section, std::string_view key, std::uint16_t fallback) {
        const int line = lineOf(section, key);
        if (line == 0)
            return fallback;
        const std::string text = value(section, key);
        const auto port = parsePort(text);
        if (!port)
            fail(line, std::string(key) + " '" + text + "' is out of range: a port is 1 to 65535");
        return port.value_or(fallback);
    }

private:
    const std::string& m_path;
    QSettings& m_settings;
    std::string m_error;
};

void readCollectorSection(ConfigReader& reader, const IniSection& section, CollectorConfig& config,
                          const ConfigEnvironment& environment) {
    reader.checkKnownKeys(section, kCollectorKeys);
    const int addressLine = ConfigReader::lineOf(section, "local_address");
    config.localAddress = reader.value(section, "local_address");
    if (addressLine == 0)
        reader.fail(section.line,
                    "[collector] needs local_address, the address the repeaters send their logs to");
    else if (!isIPv4(config.localAddress))
        reader.fail(addressLine, "local_address '" + config.localAddress + "' is not an IPv4 address");
    config.logPort = reader.port(section, "log_port", kDefaultCollectorLogPort);
    config.airPort = reader.port(section, "air_port", kDefaultCollectorAirPort);
    if (!reader.failed() && config.logPort == config.airPort)
        reader.fail(ConfigReader::lineOf(section, "air_port"),
                    "air_port and log_port are both " + std::to_string(config.logPort));

    if (const int line = ConfigReader::lineOf(section, "metrics_listen")) {
        const std::string listen = reader.value(section, "metrics_listen");
        const auto colon = listen.rfind(':');
        const std::string host = colon == std::string::npos ? std::string() : listen.substr(0, colon);
        const auto port = colon == std::string::npos ? std::nullopt : parsePort(listen.substr(colon + 1));
        if (!isIPv4(host) || !port)
            reader.fail(line, "metrics_listen '" + listen + "' is not ADDRESS:PORT (IPv4, port 1 to 65535)");
        else {
            config.metricsAddress = host;
            config.metricsPort = *port;
        }
    }

    config.stateDir = reader.value(section, "state_dir");
    if (const int line = ConfigReader::lineOf(section, "state_dir"); line != 0 && config.stateDir.empty())
        reader.fail(line, "state_dir is empty");
    if (config.stateDir.empty()) {
        if (!environment.stateDirectory.empty())
            config.stateDir = environment.stateDirectory.substr(0, environment.stateDirectory.find(':'));
        else if (!environment.xdgStateHome.empty())
            config.stateDir = environment.xdgStateHome + "/tavrel-collector";
        else
            config.stateDir = environment.home + "/.local/state/tavrel-collector";
    }
}

void readRelayKeys(ConfigReader& reader, const IniSection& section, WatchedRepeaterConfig& repeater) {
    if (const int line = ConfigReader::lineOf(section, "relay_listen")) {
        const std::string listen = reader.value(section, "relay_listen");
        repeater.relayListen = parseRelayListen(listen);
        if (!repeater.relayListen)
            reader.fail(line,
                        "relay_listen '" + listen + "' is not ADDRESS:PORT or PORT (IPv4, port 1 to 65535)");
    }
    if (const int line = ConfigReader::lineOf(section, "relay_allow")) {
        const std::string allow = reader.listValue(section, "relay_allow");
        if (const auto list = parseCidrList(allow))
            repeater.relayAllow = *list;
        else
            reader.fail(line, "relay_allow '" + allow + "' is not a list of IPv4 networks (A.B.C.D/N,...)");
    }
    if (const int line = ConfigReader::lineOf(section, "relay_max_clients")) {
        const std::string text = reader.value(section, "relay_max_clients");
        const auto count = parsePort(text);
        if (!count || *count > kMostRelayClients)
            reader.fail(line, "relay_max_clients '" + text + "' is out of range: 1 to " +
                                  std::to_string(kMostRelayClients));
        else
            repeater.relayMaxClients = *count;
    }
    if (const int line = ConfigReader::lineOf(section, "relay_commands")) {
        const std::string commands = reader.value(section, "relay_commands");
        if (commands != "on" && commands != "off")
            reader.fail(line, "relay_commands '" + commands + "' is neither on nor off");
        repeater.relayCommands = commands != "off";
    }
}

void readRepeaterSection(ConfigReader& reader, const IniSection& section, CollectorConfig& config,
                         std::map<std::string, std::pair<std::string, int>>& addresses) {
    if (!validName(section.name)) {
        reader.fail(section.line,
                    "repeater name [" + section.name + "] may hold only letters, digits, '-' and '_'");
        return;
    }
    if (section.name == "General") // QSettings's name for keys outside any section
        reader.fail(section.line, "[General] is reserved; name the repeater otherwise");
    reader.checkKnownKeys(section, kRepeaterKeys);
    WatchedRepeaterConfig repeater;
    repeater.name = section.name;
    repeater.address = reader.value(section, "address");
    const int addressLine = ConfigReader::lineOf(section, "address");
    if (addressLine == 0)
        reader.fail(section.line, "[" + section.name + "] has no address");
    else if (!isIPv4(repeater.address))
        reader.fail(addressLine, "address '" + repeater.address + "' is not an IPv4 address");
    else if (const auto [it, added] = addresses.try_emplace(repeater.address, section.name, addressLine);
             !added)
        reader.fail(addressLine, "address " + repeater.address + " is already [" + it->second.first +
                                     "]'s (line " + std::to_string(it->second.second) + ")");
    if (const int line = ConfigReader::lineOf(section, "air_log")) {
        const std::string airLog = reader.value(section, "air_log");
        if (airLog != "on" && airLog != "off")
            reader.fail(line, "air_log '" + airLog + "' is neither on nor off");
        repeater.airLog = airLog == "on";
    }
    readRelayKeys(reader, section, repeater);
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

    QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
    ConfigReader reader(path, settings);
    if (settings.status() != QSettings::NoError)
        reader.fail(0, "is not a valid INI file");

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
                    reader.fail(ConfigReader::lineOf(section, "relay_listen"),
                                "relay_listen " + at + " is already [" + it->second + "]'s");
            }
    if (reader.failed())
        return {std::nullopt, reader.error()};
    return {std::move(config), {}};
}

} // namespace tavrel

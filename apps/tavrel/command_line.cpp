// Parsing the command line into setup values, each checked as the setup dialog would.
#include "apps/tavrel/command_line.h"

#include <array>
#include <optional>

#include "session/monitor_settings.h"
#include "session/monitor_texts.h"

namespace tavrel {
namespace {

enum class Value { Local, Repeater, MonitorPort, AirPort };

struct Option {
    std::string_view name;
    Value value;
};

constexpr std::array<Option, 4> kOptions{{
    {"--local", Value::Local},
    {"--repeater", Value::Repeater},
    {"--monitor-port", Value::MonitorPort},
    {"--air-port", Value::AirPort},
}};

// A decimal port number 1-65535, nothing else.
std::optional<int> portNumber(std::string_view text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const int port = std::stoi(std::string(text));
    if (port < 1 || port > kHighestPort)
        return std::nullopt;
    return port;
}

// Stores the value, or names the problem with it.
void take(SetupPrefill& prefill, const Option& option, const std::string& text) {
    const std::string named = std::string(option.name) + " \"" + text + "\": ";
    switch (option.value) {
    case Value::Local:
    case Value::Repeater:
        if (!parseIpv4(text)) {
            prefill.problems.push_back(named + (option.value == Value::Repeater
                                                    ? std::string(kInvalidRepeaterAddressMessage)
                                                    : std::string("not an IPv4 address")));
            return;
        }
        (option.value == Value::Local ? prefill.localAddress : prefill.repeaterAddress) = text;
        return;
    case Value::MonitorPort:
    case Value::AirPort: {
        const auto port = portNumber(text);
        if (!port) {
            prefill.problems.push_back(named + std::string(option.value == Value::MonitorPort
                                                               ? kInvalidMonitorRxPortMessage
                                                               : kInvalidAirLogRxPortMessage));
            return;
        }
        (option.value == Value::MonitorPort ? prefill.monitorRxPort : prefill.airLogRxPort) = *port;
        return;
    }
    }
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.help = true;
            continue;
        }
        if (argument == "--version") {
            line.version = true;
            continue;
        }
        const auto equals = argument.find('=');
        const std::string_view name = std::string_view(argument).substr(0, equals);
        const Option* option = nullptr;
        for (const Option& candidate : kOptions)
            if (candidate.name == name)
                option = &candidate;
        if (!option) {
            line.prefill.problems.push_back(
                (argument.starts_with("-") ? "unknown option \"" : "unexpected argument \"") + argument +
                "\"");
            continue;
        }
        if (equals != std::string::npos) {
            take(line.prefill, *option, argument.substr(equals + 1));
        } else if (i + 1 < arguments.size()) {
            take(line.prefill, *option, arguments[++i]);
        } else {
            line.prefill.problems.push_back(std::string(option->name) + ": a value is missing");
        }
    }
    return line;
}

std::string usageText() {
    return "Usage: tavrel [--repeater ADDRESS] [--local ADDRESS] [--monitor-port N] [--air-port N]\n"
           "       tavrel --help | --version\n"
           "\n"
           "Monitors one DMR radio repeater over IP. The values given fill the setup dialog, which is still\n"
           "shown and checks them when Continue is pressed.\n"
           "\n"
           "  --repeater ADDRESS  the repeater's IPv4 address\n"
           "  --local ADDRESS     the local IPv4 address to receive the repeater's logs on (one of this\n"
           "                      machine's)\n"
           "  --monitor-port N    the UDP port of the repeater's text log (1-65535)\n"
           "  --air-port N        the UDP port of the repeater's air-interface log (1-65535)\n"
           "  --help              this text\n"
           "  --version           the version\n"
           "\n"
           "Qt's own options (for example -platform or -style) are accepted as well.\n";
}

std::string versionText() {
    return "tavrel " + std::string(kVersionText) + "\n";
}

} // namespace tavrel

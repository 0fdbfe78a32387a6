// Parsing the command line with QCommandLineParser into setup values, each checked as the setup dialog would.
#include "apps/tavrel/command_line.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <array>
#include <optional>

#include "session/monitor_settings.h"
#include "session/monitor_texts.h"

namespace tavrel {
namespace {

enum class Value { Local, Repeater, MonitorPort, AirPort, Via };

struct Option {
    std::string_view name; // without the leading dashes
    std::string_view valueName;
    Value value;
};

constexpr std::array<Option, 5> kOptions{{
    {"local", "ADDRESS", Value::Local},
    {"repeater", "ADDRESS", Value::Repeater},
    {"monitor-port", "N", Value::MonitorPort},
    {"air-port", "N", Value::AirPort},
    {"via", "ADDRESS:PORT", Value::Via},
}};

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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
void take(CommandLine& line, const Option& option, const std::string& text) {
    SetupPrefill& prefill = line.prefill;
    const std::string named = "--" + std::string(option.name) + " \"" + text + "\": ";
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
    case Value::Via: {
        const auto colon = text.rfind(':');
        const auto port = colon == std::string::npos ? std::nullopt : portNumber(text.substr(colon + 1));
        if (!port || !parseIpv4(text.substr(0, colon))) {
            prefill.problems.push_back(named + "not ADDRESS:PORT (IPv4, port 1-65535)");
            return;
        }
        line.viaAddress = text.substr(0, colon);
        line.viaPort = static_cast<std::uint16_t>(*port);
        return;
    }
    }
}

// Where the option first appears, so that problems are named in the order they were written.
std::size_t firstUse(const std::vector<std::string>& arguments, const Option& option) {
    const std::string dashed = "--" + std::string(option.name);
    const auto it = std::find_if(arguments.begin(), arguments.end(), [&](const std::string& argument) {
        return argument == dashed || argument.starts_with(dashed + "=");
    });
    return static_cast<std::size_t>(it - arguments.begin());
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    QCommandLineParser parser;
    // "-platform" and the like are Qt's single-dash long options: never cut into letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    for (const Option& option : kOptions)
        parser.addOption(QCommandLineOption(qText(option.name), QString(), qText(option.valueName)));

    QStringList list{QStringLiteral("tavrel")};
    for (const std::string& argument : arguments)
        list.append(QString::fromStdString(argument));
    parser.parse(list); // its faults are named below, in the tool's own words

    CommandLine line;
    line.help = parser.isSet(help);
    line.version = parser.isSet(version);
    std::vector<const Option*> order;
    for (const Option& option : kOptions)
        order.push_back(&option);
    std::stable_sort(order.begin(), order.end(), [&](const Option* a, const Option* b) {
        return firstUse(arguments, *a) < firstUse(arguments, *b);
    });
    for (const Option* option : order)
        for (const QString& value : parser.values(qText(option->name))) // a later value replaces an earlier
            take(line, *option, value.toStdString());

    for (const QString& name : parser.unknownOptionNames()) {
        const std::string text = name.toStdString();
        const bool single = std::find(arguments.begin(), arguments.end(), "-" + text) != arguments.end();
        line.prefill.problems.push_back("unknown option \"" + std::string(single ? "-" : "--") + text + "\"");
    }
    for (const QString& argument : parser.positionalArguments())
        line.prefill.problems.push_back("unexpected argument \"" + argument.toStdString() + "\"");
    // Only the last argument can lack its value.
    if (!arguments.empty())
        for (const Option& option : kOptions)
            if (arguments.back() == "--" + std::string(option.name))
                line.prefill.problems.push_back("--" + std::string(option.name) + ": a value is missing");
    if (!line.viaAddress.empty() && !line.prefill.repeaterAddress) {
        line.prefill.problems.push_back("--via: needs --repeater, the repeater it leads to");
        line.viaAddress.clear();
        line.viaPort = 0;
    }
    return line;
}

std::string usageText() {
    return "Usage: tavrel [--repeater ADDRESS] [--local ADDRESS] [--monitor-port N] [--air-port N]\n"
           "              [--via ADDRESS:PORT]\n"
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
           "  --via ADDRESS:PORT  reach the repeater through a collector's relay at this IPv4 address and\n"
           "                      port instead of its own port 2301 (with --repeater, which still names\n"
           "                      the window and the run files)\n"
           "  --help, -h          this text\n"
           "  --version           the version\n"
           "\n"
           "Qt's own options (for example -platform or -style) are accepted as well.\n";
}

std::string versionText() {
    return "tavrel " + std::string(kVersionText) + "\n";
}

} // namespace tavrel

// Parsing of the program's options and control lines, and their help texts.
#include "emulator/command_line.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "emulator/text_format.h"
#include "platform/socket.h"

namespace tavrel::emulator {
namespace {

constexpr double kMaxRatePerSecond = 1e7;
constexpr double kMaxSeconds = 1e6;

bool parseNumber(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end && std::isfinite(value);
}

bool parseSize(std::string_view text, std::size_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end;
}

std::string_view trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string unescape(std::string_view text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
            result += text[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

// Applies one option that takes a value; an empty result means it was accepted.
std::string applyValueOption(std::string_view name, std::string_view value, EmulatorOptions& options) {
    double number = 0;
    std::size_t size = 0;
    if (name == "--address") {
        sockaddr_in address{};
        if (!makeIPv4Address(value, kOmPort, address))
            return "needs a dotted IPv4 address";
        options.address = std::string(value);
    } else if (name == "--reboot-seconds" || name == "--drop-after") {
        if (!parseNumber(value, number) || number < 0 || number > kMaxSeconds)
            return "needs seconds from 0 to 1000000";
        const std::chrono::milliseconds time(std::llround(number * 1000));
        if (name == "--reboot-seconds")
            options.rebootTime = time;
        else
            options.dropAfter = time;
    } else if (name == "--alarm") {
        const auto bits = parseAlarmBits(value);
        if (!bits)
            return "needs alarm bits, decimal or 0x hex";
        options.alarmBits = *bits;
    } else if (name == "--alarm-script") {
        auto script = AlarmScript::parse(value);
        if (!script)
            return "needs steps seconds:bits separated by commas, e.g. 0:0,5:3,10:1";
        options.alarmScript = std::move(*script);
    } else if (name == "--log-rate" || name == "--air-rate") {
        if (!parseNumber(value, number) || number < 0 || number > kMaxRatePerSecond)
            return "needs a rate per second from 0 to 10000000";
        (name == "--log-rate" ? options.logLinesPerSecond : options.airRecordsPerSecond) = number;
    } else if (name == "--log-size" || name == "--air-size") {
        if (!parseSize(value, size) || size > kMaxUdpPayloadBytes)
            return "needs a size in bytes from 0 to 65507";
        (name == "--log-size" ? options.logLineBytes : options.airRecordBytes) = size;
    } else {
        return "is not an option";
    }
    return {};
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string_view>& arguments) {
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size() && line.error.empty(); ++i) {
        std::string_view name = arguments[i];
        std::string_view value;
        bool hasValue = false;
        if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string_view::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") {
            line.showHelp = true;
        } else if (name == "--fleet" || name == "--first-address") {
            if (!hasValue && i + 1 < arguments.size()) {
                value = arguments[++i];
                hasValue = true;
            }
            std::size_t count = 0;
            sockaddr_in address{};
            if (name == "--fleet" && hasValue && parseSize(value, count) && count >= 1 &&
                count <= static_cast<std::size_t>(kMaxFleet))
                line.fleet = static_cast<int>(count);
            else if (name == "--first-address" && hasValue && makeIPv4Address(value, kOmPort, address))
                line.firstAddress = std::string(value);
            else
                line.error = std::string(name) + (name == "--fleet" ? " needs a count from 1 to 10000"
                                                                    : " needs a dotted IPv4 address");
        } else if (name == "--refuse" || name == "--quiet") {
            (name == "--refuse" ? line.options.refuse : line.options.quiet) = true;
        } else {
            if (!hasValue && i + 1 < arguments.size()) {
                value = arguments[++i];
                hasValue = true;
            }
            const std::string problem =
                hasValue ? applyValueOption(name, value, line.options) : "needs a value";
            if (!problem.empty())
                line.error = std::string(name) + " " + problem;
        }
    }
    return line;
}

std::string helpText() {
    return textf(
        "Usage: tavrel-repeater [options]\n"
        "Plays a DMR repeater for the Tavrel monitor: O&M commands on TCP port %u, text log and air log by "
        "UDP.\n"
        "Each received command is printed with a time stamp; unknown texts are printed as unknown.\n"
        "\n"
        "Options:\n"
        "  --address A           listen on A:%u (default %s)\n"
        "  --reboot-seconds S    after REBOOTREPEATER or 'reboot' refuse connections for S seconds (default "
        "3)\n"
        "  --alarm N             alarm bits reported by ALARMSTATE (0x01 V-SWR, 0x02 temperature, 0x04 Rx "
        "PLL,\n"
        "                        0x08 Tx PLL, 0x10 DC volt); decimal or 0x hex\n"
        "  --alarm-script STEPS  time-scripted alarm bits, seconds:bits from the start, e.g. "
        "\"0:0,5:3,10:1\"\n"
        "  --log-rate N          N extra numbered log lines per second (\"SEQ 0000000001 ...\") once a log\n"
        "                        destination is set; for load tests (default 0)\n"
        "  --log-size N          bytes per numbered log line, 0..65507 (default %zu; the monitor takes up "
        "to\n"
        "                        1024)\n"
        "  --air-rate N          air-log records per second after AILOGON (default %.1f: 2 timeslots x 2\n"
        "                        directions at DMR pace; 0: only on the 'air' control line)\n"
        "  --air-size N          bytes per air-log record, 0..65507 (default 44; shorter records are cut,\n"
        "                        longer ones padded)\n"
        "  --refuse              never listen on the O&M port\n"
        "  --drop-after S        close each connection S seconds after accepting it\n"
        "  --quiet               no ALIVE status line every second (a quiet repeater for idle measurements)\n"
        "  --fleet N             play N repeaters in one process (1..10000), each on its own address from\n"
        "                        --first-address on, each sending its logs from that address; every other\n"
        "                        option applies to each of them\n"
        "  --first-address A     the first fleet repeater's address (default %s); the next ones follow it\n"
        "  --help, -h            this text\n"
        "\n"
        "One monitor connection at a time: a new connection replaces the current one.\n"
        "\n%s\n%s\n"
        "SIGINT and SIGTERM end the program; end of standard input does not.\n",
        kOmPort, kOmPort, kDefaultAddress, kDefaultLogLineBytes, kDmrAirRecordsPerSecond,
        kDefaultFirstAddress, controlHelpText().c_str(), fleetControlHelpText().c_str());
}

std::string controlHelpText() {
    return "Control lines on standard input:\n"
           "  alarm N    report alarm bits N from now on\n"
           "  log TEXT   send TEXT as one log datagram (\\n makes a line break)\n"
           "  air        send one air-log record now\n"
           "  reboot     reboot as on REBOOTREPEATER\n"
           "  drop       close the monitor's connection\n"
           "  quit       end the program\n"
           "  help       list these lines\n";
}

std::string fleetControlHelpText() {
    return "Control lines in fleet mode (I: a repeater's number from 1, or all):\n"
           "  alarm I N  repeater I reports alarm bits N from now on\n"
           "  log I TEXT repeater I sends TEXT as one log datagram\n"
           "  off I      switch repeater I off: its port and connection close, it sends nothing\n"
           "  on I       switch repeater I on again\n"
           "  reboot I   reboot repeater I as on REBOOTREPEATER\n"
           "  drop I     close repeater I's monitor connection\n"
           "  stats      print how many are on and connected, lines sent, busiest millisecond of accepts\n"
           "  quit       end the program\n";
}

FleetControl parseFleetControlLine(std::string_view line) {
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    line = trimSpaces(line);
    FleetControl control;
    const auto firstSpace = line.find(' ');
    const std::string_view word = line.substr(0, firstSpace);
    std::string_view rest =
        firstSpace == std::string_view::npos ? std::string_view{} : trimSpaces(line.substr(firstSpace + 1));
    if (word.empty()) {
        control.kind = FleetControlKind::Empty;
        return control;
    }
    if (word == "stats" || word == "quit" || word == "help") {
        if (rest.empty())
            control.kind = word == "stats"  ? FleetControlKind::Stats
                           : word == "quit" ? FleetControlKind::Quit
                                            : FleetControlKind::Help;
        return control;
    }
    const auto secondSpace = rest.find(' ');
    const std::string_view target = rest.substr(0, secondSpace);
    const std::string_view argument =
        secondSpace == std::string_view::npos ? std::string_view{} : rest.substr(secondSpace + 1);
    std::size_t number = 0;
    if (target == "all")
        control.member = 0;
    else if (parseSize(target, number) && number >= 1 && number <= static_cast<std::size_t>(kMaxFleet))
        control.member = static_cast<int>(number);
    else
        return control;
    if (word == "alarm") {
        if (const auto bits = parseAlarmBits(trimSpaces(argument))) {
            control.kind = FleetControlKind::Alarm;
            control.alarmBits = *bits;
        }
    } else if (word == "log") {
        control.kind = FleetControlKind::Log;
        control.text = unescape(argument);
    } else if (argument.empty()) {
        if (word == "off")
            control.kind = FleetControlKind::Off;
        else if (word == "on")
            control.kind = FleetControlKind::On;
        else if (word == "reboot")
            control.kind = FleetControlKind::Reboot;
        else if (word == "drop")
            control.kind = FleetControlKind::Drop;
    }
    return control;
}

ControlLine parseControlLine(std::string_view line) {
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
    const auto space = line.find(' ');
    const std::string_view word = line.substr(0, space);
    std::string_view rest = space == std::string_view::npos ? std::string_view{} : line.substr(space + 1);
    // A log text is sent as typed; the other arguments are free of surrounding spaces.
    if (word != "log")
        rest = trimSpaces(rest);

    ControlLine control;
    if (word.empty()) {
        control.kind = ControlKind::Empty;
    } else if (word == "log") {
        control.kind = ControlKind::Log;
        control.text = unescape(rest);
    } else if (word == "alarm") {
        if (const auto bits = parseAlarmBits(rest)) {
            control.kind = ControlKind::Alarm;
            control.alarmBits = *bits;
        }
    } else if (rest.empty()) {
        if (word == "air")
            control.kind = ControlKind::Air;
        else if (word == "reboot")
            control.kind = ControlKind::Reboot;
        else if (word == "drop")
            control.kind = ControlKind::Drop;
        else if (word == "quit")
            control.kind = ControlKind::Quit;
        else if (word == "help")
            control.kind = ControlKind::Help;
    }
    return control;
}

} // namespace tavrel::emulator

// The program's options, read with getopt_long, and its help text.
#include "emulator/command_line.h"

#include <array>
#include <getopt.h>

#include "emulator/control_line.h"
#include "emulator/text_format.h"
#include "platform/number_text.h"
#include "platform/socket.h"

namespace tavrel::emulator {
namespace {

constexpr double kMaxRatePerSecond = 1e7;
constexpr double kMaxSeconds = 1e6;

// getopt_long's values of the long options; 'h' is --help and -h.
enum OptionValue {
    Address = 256,
    RebootSeconds,
    Alarm,
    AlarmScriptSteps,
    LogRate,
    LogSize,
    AirRate,
    AirSize,
    Refuse,
    DropAfter,
    Quiet,
    Fleet,
    FirstAddress,
};

constexpr std::array<option, 15> kOptions{{
    {"address", required_argument, nullptr, Address},
    {"reboot-seconds", required_argument, nullptr, RebootSeconds},
    {"alarm", required_argument, nullptr, Alarm},
    {"alarm-script", required_argument, nullptr, AlarmScriptSteps},
    {"log-rate", required_argument, nullptr, LogRate},
    {"log-size", required_argument, nullptr, LogSize},
    {"air-rate", required_argument, nullptr, AirRate},
    {"air-size", required_argument, nullptr, AirSize},
    {"refuse", no_argument, nullptr, Refuse},
    {"drop-after", required_argument, nullptr, DropAfter},
    {"quiet", no_argument, nullptr, Quiet},
    {"fleet", required_argument, nullptr, Fleet},
    {"first-address", required_argument, nullptr, FirstAddress},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
}};

// "--name" of the option with this value.
std::string optionName(int value) {
    for (const option& entry : kOptions)
        if (entry.name != nullptr && entry.val == value)
            return std::string("--") + entry.name;
    std::string name = "-"; // piece by piece: g++ 12 warns falsely (-Wrestrict) on "-" + std::string
    name += static_cast<char>(value);
    return name;
}

// Each stores the value and says true when the text is one in range.
bool parseSecondsInto(std::string_view text, std::chrono::milliseconds& time) {
    const auto value = parseSeconds(text, kMaxSeconds);
    if (value)
        time = *value;
    return value.has_value();
}

bool parseRate(std::string_view text, double& rate) {
    const auto value = parseFinite(text);
    if (!value || *value < 0 || *value > kMaxRatePerSecond)
        return false;
    rate = *value;
    return true;
}

bool parseDatagramSize(std::string_view text, std::size_t& size) {
    const auto value = parseWhole<std::size_t>(text);
    if (!value || *value > kMaxUdpPayloadBytes)
        return false;
    size = *value;
    return true;
}

bool isIPv4(std::string_view text) {
    sockaddr_in address{};
    return makeIPv4Address(text, kOmPort, address);
}

// Takes one option's value; empty when it was accepted, else what is wrong with it.
std::string applyValue(int option, std::string_view value, CommandLine& line) {
    EmulatorOptions& options = line.options;
    switch (option) {
    case Address:
        if (!isIPv4(value))
            return "needs a dotted IPv4 address";
        options.address = std::string(value);
        return {};
    case RebootSeconds:
        return parseSecondsInto(value, options.rebootTime) ? "" : "needs seconds from 0 to 1000000";
    case DropAfter: {
        std::chrono::milliseconds time{};
        if (!parseSecondsInto(value, time))
            return "needs seconds from 0 to 1000000";
        options.dropAfter = time;
        return {};
    }
    case Alarm: {
        const auto bits = parseAlarmBits(value);
        if (!bits)
            return "needs alarm bits, decimal or 0x hex";
        options.alarmBits = *bits;
        return {};
    }
    case AlarmScriptSteps: {
        auto script = AlarmScript::parse(value);
        if (!script)
            return "needs steps seconds:bits separated by commas, e.g. 0:0,5:3,10:1";
        options.alarmScript = std::move(*script);
        return {};
    }
    case LogRate:
    case AirRate:
        return parseRate(value, option == LogRate ? options.logLinesPerSecond : options.airRecordsPerSecond)
                   ? ""
                   : "needs a rate per second from 0 to 10000000";
    case LogSize:
    case AirSize:
        return parseDatagramSize(value, option == LogSize ? options.logLineBytes : options.airRecordBytes)
                   ? ""
                   : "needs a size in bytes from 0 to 65507";
    case Fleet: {
        const auto count = parseWhole<int>(value);
        if (!count || *count < 1 || *count > kMaxFleet)
            return "needs a count from 1 to 10000";
        line.fleet = *count;
        return {};
    }
    case FirstAddress:
        if (!isIPv4(value))
            return "needs a dotted IPv4 address";
        line.firstAddress = std::string(value);
        return {};
    default:
        return "is not an option";
    }
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string_view>& arguments) {
    // getopt_long wants a mutable argv; it may reorder the pointers, never the texts.
    std::vector<std::string> texts{"tavrel-repeater"};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(texts.size());

    CommandLine line;
    optind = 0; // 0, not 1: glibc then starts afresh, so the parser can run more than once in a process
    opterr = 0; // the messages are ours
    for (int option; (option = ::getopt_long(argc, argv.data(), ":h", kOptions.data(), nullptr)) != -1;) {
        if (option == 'h') {
            line.showHelp = true;
        } else if (option == Refuse || option == Quiet) {
            (option == Refuse ? line.options.refuse : line.options.quiet) = true;
        } else if (option == ':') {
            line.error = optionName(optopt) + " needs a value";
        } else if (option == '?' && optopt >= Address) {
            line.error = optionName(optopt) + " takes no value";
        } else if (option == '?') {
            // An unknown long option is named as typed (without a value); an unknown letter by itself.
            const std::string_view typed = argv[static_cast<std::size_t>(optind - 1)];
            line.error = (optopt != 0 ? optionName(optopt) : std::string(typed.substr(0, typed.find('=')))) +
                         " is not an option";
        } else if (const std::string problem = applyValue(option, optarg, line); !problem.empty()) {
            line.error = optionName(option) + " " + problem;
        }
        if (!line.error.empty())
            return line;
    }
    if (optind < argc)
        line.error = std::string(argv[static_cast<std::size_t>(optind)]) + " is not an option";
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
        "A value follows its option as the next argument or after '='; a name may be shortened while it "
        "stays\n"
        "unambiguous.\n"
        "\n"
        "One monitor connection at a time: a new connection replaces the current one.\n"
        "\n%s\n%s\n"
        "SIGINT and SIGTERM end the program; end of standard input does not.\n",
        kOmPort, kOmPort, kDefaultAddress, kDefaultLogLineBytes, kDmrAirRecordsPerSecond,
        kDefaultFirstAddress, controlHelpText().c_str(), fleetControlHelpText().c_str());
}

} // namespace tavrel::emulator

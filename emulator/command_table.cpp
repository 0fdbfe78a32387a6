// The repeater's command texts, fixed and with arguments, and their strict parser.
#include "emulator/command_table.h"

#include <arpa/inet.h>
#include <array>
#include <netinet/in.h>

#include "platform/number_text.h"

namespace tavrel::emulator {
namespace {

struct FixedText {
    std::string_view text;
    CommandKind kind;
};

constexpr std::array kFixedTexts{
    FixedText{"TEST_CHCU_TO_OAM:HEARTBEAT;", CommandKind::Heartbeat},
    FixedText{"TEST_CTRL_TO_CHCU:PA:ON", CommandKind::PaOn},
    FixedText{"TEST_CTRL_TO_CHCU:PA:OFF", CommandKind::PaOff},
    FixedText{"TEST_CTRL_TO_CHCU:RESET12P8:", CommandKind::Reset12p8},
    FixedText{"TEST_CTRL_TO_CHCU:INITAD9864:", CommandKind::InitAd9864},
    FixedText{"TEST_CTRL_TO_CHCU:RESETBPF:", CommandKind::ResetBpf},
    FixedText{"TEST_CTRL_TO_CHCU:RESETDSPRX:", CommandKind::ResetDspReceiver},
    FixedText{"TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON", CommandKind::DspLogOn},
    FixedText{"TEST_CTRL_TO_CHCU:CTRLDSPLOG:OFF", CommandKind::DspLogOff},
    FixedText{"TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:ON", CommandKind::DspLinkLogOn},
    FixedText{"TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:OFF", CommandKind::DspLinkLogOff},
    FixedText{"TEST_CTRL_TO_CHCU:REBOOTREPEATER:", CommandKind::Reboot},
    FixedText{"TEST_CTRL_TO_CHCU:SHOWSWVER:", CommandKind::ShowSoftwareVersion},
    FixedText{"TEST_CTRL_TO_CHCU:SHOWARMSTATE:", CommandKind::ShowArmState},
    FixedText{"TEST_CTRL_TO_CHCU:SHOWDSPSTATE:", CommandKind::ShowDspState},
    FixedText{"TEST_CTRL_TO_CHCU:SHOWALARMSTATE:", CommandKind::ShowAlarmState},
    FixedText{"TEST_CTRL_TO_CHCU:ALARMQUERY:", CommandKind::AlarmQuery},
    FixedText{"TEST_CTRL_TO_CHCU:LISTCHANNEL:", CommandKind::ListChannels},
    FixedText{"TEST_CTRL_TO_CHCU:AILOGOFF", CommandKind::AirLogOff},
};

// The literal heads of the texts with arguments; the arguments follow directly.
constexpr std::string_view kSetLogDestinationHead = "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:";
constexpr std::string_view kSwitchChannelHead = "TEST_CTRL_TO_CHCU:SWICHCHNL:";
constexpr std::string_view kSetRxPllHead = "TEST_CTRL_TO_CHCU:SETPLL:RX:";
constexpr std::string_view kSetTxPllHead = "TEST_CTRL_TO_CHCU:SETPLL:TX:";
constexpr std::string_view kAirLogOnHead = "TEST_CTRL_TO_CHCU:AILOGON:";

constexpr std::size_t kMaxDottedAddressChars = 15;

bool isDottedIPv4(std::string_view text) {
    if (text.empty() || text.size() > kMaxDottedAddressChars)
        return false;
    char buffer[kMaxDottedAddressChars + 1] = {};
    text.copy(buffer, text.size());
    in_addr address{};
    return ::inet_pton(AF_INET, buffer, &address) == 1;
}

// "a,b" into two texts split at the first comma.
bool splitPair(std::string_view text, std::string_view& first, std::string_view& second) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos)
        return false;
    first = text.substr(0, comma);
    second = text.substr(comma + 1);
    return true;
}

Command parseAddressAndPort(std::string_view arguments, CommandKind kind) {
    std::string_view address, port;
    Command command;
    if (splitPair(arguments, address, port) && isDottedIPv4(address) && parseDecimal(port, command.number)) {
        command.kind = kind;
        command.address = std::string(address);
    }
    return command;
}

Command parsePll(std::string_view arguments, CommandKind kind) {
    std::string_view operation, frequency;
    Command command;
    if (splitPair(arguments, operation, frequency) && parseDecimal(operation, command.number) &&
        parseDecimal(frequency, command.frequency))
        command.kind = kind;
    return command;
}

} // namespace

bool parseDecimal(std::string_view text, std::int32_t& value) {
    // No sign but minus and no white space, as printf's %d never writes them.
    const auto number = parseWhole<std::int32_t>(text);
    if (number)
        value = *number;
    return number.has_value();
}

Command parseCommand(std::string_view text) {
    Command command;
    for (const auto& fixed : kFixedTexts)
        if (text == fixed.text) {
            command.kind = fixed.kind;
            return command;
        }
    if (text.starts_with(kSetLogDestinationHead))
        return parseAddressAndPort(text.substr(kSetLogDestinationHead.size()),
                                   CommandKind::SetLogDestination);
    if (text.starts_with(kAirLogOnHead))
        return parseAddressAndPort(text.substr(kAirLogOnHead.size()), CommandKind::AirLogOn);
    if (text.starts_with(kSetRxPllHead))
        return parsePll(text.substr(kSetRxPllHead.size()), CommandKind::SetRxPll);
    if (text.starts_with(kSetTxPllHead))
        return parsePll(text.substr(kSetTxPllHead.size()), CommandKind::SetTxPll);
    if (text.starts_with(kSwitchChannelHead) &&
        parseDecimal(text.substr(kSwitchChannelHead.size()), command.number))
        command.kind = CommandKind::SwitchChannel;
    return command;
}

std::string_view commandName(CommandKind kind) {
    switch (kind) {
    case CommandKind::Heartbeat:
        return "HEARTBEAT";
    case CommandKind::SetLogDestination:
        return "SETLOGDST";
    case CommandKind::SwitchChannel:
        return "SWICHCHNL";
    case CommandKind::SetRxPll:
        return "SETPLL:RX";
    case CommandKind::SetTxPll:
        return "SETPLL:TX";
    case CommandKind::PaOn:
        return "PA:ON";
    case CommandKind::PaOff:
        return "PA:OFF";
    case CommandKind::Reset12p8:
        return "RESET12P8";
    case CommandKind::InitAd9864:
        return "INITAD9864";
    case CommandKind::ResetBpf:
        return "RESETBPF";
    case CommandKind::ResetDspReceiver:
        return "RESETDSPRX";
    case CommandKind::DspLogOn:
        return "CTRLDSPLOG:ON";
    case CommandKind::DspLogOff:
        return "CTRLDSPLOG:OFF";
    case CommandKind::DspLinkLogOn:
        return "CTRLDSPLINKLOG:ON";
    case CommandKind::DspLinkLogOff:
        return "CTRLDSPLINKLOG:OFF";
    case CommandKind::Reboot:
        return "REBOOTREPEATER";
    case CommandKind::ShowSoftwareVersion:
        return "SHOWSWVER";
    case CommandKind::ShowArmState:
        return "SHOWARMSTATE";
    case CommandKind::ShowDspState:
        return "SHOWDSPSTATE";
    case CommandKind::ShowAlarmState:
        return "SHOWALARMSTATE";
    case CommandKind::AlarmQuery:
        return "ALARMQUERY";
    case CommandKind::ListChannels:
        return "LISTCHANNEL";
    case CommandKind::AirLogOn:
        return "AILOGON";
    case CommandKind::AirLogOff:
        return "AILOGOFF";
    case CommandKind::Unknown:
        break;
    }
    return "UNKNOWN";
}

} // namespace tavrel::emulator

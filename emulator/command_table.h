// The repeater's own table of O&M command texts and the parser that turns one received text into a command.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrel::emulator {

enum class CommandKind {
    Heartbeat,
    SetLogDestination,
    SwitchChannel,
    SetRxPll,
    SetTxPll,
    PaOn,
    PaOff,
    Reset12p8,
    InitAd9864,
    ResetBpf,
    ResetDspReceiver,
    DspLogOn,
    DspLogOff,
    DspLinkLogOn,
    DspLinkLogOff,
    Reboot,
    ShowSoftwareVersion,
    ShowArmState,
    ShowDspState,
    ShowAlarmState,
    AlarmQuery,
    ListChannels,
    AirLogOn,
    AirLogOff,
    Unknown,
};

// One received command with its arguments; which fields are used depends on the kind.
struct Command {
    CommandKind kind = CommandKind::Unknown;
    std::string address;        // SETLOGDST, AILOGON: dotted IPv4 text
    std::int32_t number = 0;    // SWICHCHNL: channel; SETPLL: operation; SETLOGDST, AILOGON: port
    std::int32_t frequency = 0; // SETPLL: frequency in Hz
};

// Parses one whole command text. Anything that is not exactly one of the repeater's texts (extra or
// missing characters, a terminator, a malformed number or address) is Unknown.
Command parseCommand(std::string_view text);

// A short upper-case name for console and log lines ("SWICHCHNL", "ALARMQUERY", ...).
std::string_view commandName(CommandKind kind);

// Parses the monitor's "%d": an optional minus and decimal digits that fit a signed 32-bit integer.
bool parseDecimal(std::string_view text, std::int32_t& value);

} // namespace tavrel::emulator

// Every command text the monitor sends on the O&M channel, and the formatting of those with arguments.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrel {

namespace om {

// The repeater's O&M port is fixed; several repeaters on one machine use several addresses.
inline constexpr std::uint16_t kOmPort = 2301;

// Every command starts with one of these two prefixes.
inline constexpr std::string_view kControlPrefix = "TEST_CTRL_TO_CHCU:";
inline constexpr std::string_view kOamPrefix = "TEST_CHCU_TO_OAM:";

inline constexpr std::string_view kHeartbeat = "TEST_CHCU_TO_OAM:HEARTBEAT;";
inline constexpr std::string_view kAlarmQuery = "TEST_CTRL_TO_CHCU:ALARMQUERY:";
inline constexpr std::string_view kPaOn = "TEST_CTRL_TO_CHCU:PA:ON";
inline constexpr std::string_view kPaOff = "TEST_CTRL_TO_CHCU:PA:OFF";
inline constexpr std::string_view kReset12p8 = "TEST_CTRL_TO_CHCU:RESET12P8:";
inline constexpr std::string_view kInitAd9864 = "TEST_CTRL_TO_CHCU:INITAD9864:";
inline constexpr std::string_view kResetBpf = "TEST_CTRL_TO_CHCU:RESETBPF:";
inline constexpr std::string_view kResetDspRx = "TEST_CTRL_TO_CHCU:RESETDSPRX:";
inline constexpr std::string_view kDspLogOn = "TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON";
inline constexpr std::string_view kDspLogOff = "TEST_CTRL_TO_CHCU:CTRLDSPLOG:OFF";
inline constexpr std::string_view kDspLinkLogOn = "TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:ON";
inline constexpr std::string_view kDspLinkLogOff = "TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:OFF";
inline constexpr std::string_view kRebootRepeater = "TEST_CTRL_TO_CHCU:REBOOTREPEATER:";
inline constexpr std::string_view kShowSwVersion = "TEST_CTRL_TO_CHCU:SHOWSWVER:";
inline constexpr std::string_view kShowArmState = "TEST_CTRL_TO_CHCU:SHOWARMSTATE:";
inline constexpr std::string_view kShowDspState = "TEST_CTRL_TO_CHCU:SHOWDSPSTATE:";
inline constexpr std::string_view kShowAlarmState = "TEST_CTRL_TO_CHCU:SHOWALARMSTATE:";
inline constexpr std::string_view kListChannel = "TEST_CTRL_TO_CHCU:LISTCHANNEL:";
inline constexpr std::string_view kAirLogOff = "TEST_CTRL_TO_CHCU:AILOGOFF";

// The literal heads of the texts with arguments; the arguments follow directly.
inline constexpr std::string_view kLogDestinationHead = "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:";
inline constexpr std::string_view kSwitchChannelHead = "TEST_CTRL_TO_CHCU:SWICHCHNL:";
inline constexpr std::string_view kSetRxPllHead = "TEST_CTRL_TO_CHCU:SETPLL:RX:";
inline constexpr std::string_view kSetTxPllHead = "TEST_CTRL_TO_CHCU:SETPLL:TX:";
inline constexpr std::string_view kAirLogOnHead = "TEST_CTRL_TO_CHCU:AILOGON:";

enum class PllTarget { Rx, Tx };

// Texts with arguments, formatted printf-style into a 64-byte buffer (so at most 63 characters).
std::string formatLogDestination(std::string_view localAddress, int port);
std::string formatSwitchChannel(int channel);
std::string formatSetPll(PllTarget target, int operation, int frequency);
std::string formatAirLogOn(std::string_view localAddress, int port);

} // namespace om
} // namespace tavrel

// Formats the O&M command texts that carry arguments.
#include "protocol/om_commands.h"

#include <algorithm>
#include <cstdio>

namespace tavrel::om {
namespace {

// Texts with arguments are formatted into a buffer of this size, so they are cut at 63 characters.
constexpr std::size_t kCommandBufferBytes = 64;

constexpr const char* kLogDestinationFormat = "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:%s,%d";
constexpr const char* kSwitchChannelFormat = "TEST_CTRL_TO_CHCU:SWICHCHNL:%d";
constexpr const char* kSetRxPllFormat = "TEST_CTRL_TO_CHCU:SETPLL:RX:%d,%d";
constexpr const char* kSetTxPllFormat = "TEST_CTRL_TO_CHCU:SETPLL:TX:%d,%d";
constexpr const char* kAirLogOnFormat = "TEST_CTRL_TO_CHCU:AILOGON:%s,%d";

// snprintf into the command buffer: what fits of the formatted text.
template <typename... Args> std::string formatCommand(const char* format, Args... args) {
    char buffer[kCommandBufferBytes] = {};
    const int written = std::snprintf(buffer, sizeof buffer, format, args...);
    if (written < 0)
        return {};
    return std::string(buffer, std::min(static_cast<std::size_t>(written), sizeof buffer - 1));
}

} // namespace

std::string formatLogDestination(std::string_view localAddress, int port) {
    return formatCommand(kLogDestinationFormat, std::string(localAddress).c_str(), port);
}

std::string formatSwitchChannel(int channel) {
    return formatCommand(kSwitchChannelFormat, channel);
}

std::string formatSetPll(PllTarget target, int operation, int frequency) {
    return formatCommand(target == PllTarget::Rx ? kSetRxPllFormat : kSetTxPllFormat, operation, frequency);
}

std::string formatAirLogOn(std::string_view localAddress, int port) {
    return formatCommand(kAirLogOnFormat, std::string(localAddress).c_str(), port);
}

} // namespace tavrel::om

// Formats the O&M command texts and sends them, link-checking for the heartbeat and the alarm query.
#include "omlink/om_commands.h"

#include <algorithm>
#include <cstdio>

#include "omlink/om_link.h"

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

void sendHeartbeat(OmLink& link) {
    link.sendCheckingLink(kHeartbeat);
}

void sendAlarmQuery(OmLink& link) {
    link.sendCheckingLink(kAlarmQuery);
}

void sendCommand(OmLink& link, std::string_view text) {
    link.send(text);
}

void sendLogDestination(OmLink& link, std::string_view localAddress, int port) {
    sendCommand(link, formatLogDestination(localAddress, port));
}

void sendSwitchChannel(OmLink& link, int channel) {
    sendCommand(link, formatSwitchChannel(channel));
}

void sendSetPll(OmLink& link, PllTarget target, int operation, int frequency) {
    sendCommand(link, formatSetPll(target, operation, frequency));
}

void sendAirLogOn(OmLink& link, std::string_view localAddress, int port) {
    sendCommand(link, formatAirLogOn(localAddress, port));
}

void sendAirLogOff(OmLink& link) {
    sendCommand(link, kAirLogOff);
}

} // namespace tavrel::om

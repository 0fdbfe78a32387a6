// Sends the O&M commands on the link, link-checking for the heartbeat and the alarm query.
#include "link/om_sends.h"

#include "link/om_link.h"

namespace tavrel::om {

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

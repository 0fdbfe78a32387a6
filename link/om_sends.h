// The send policy of each class of O&M command on the link.
#pragma once

#include <string_view>

#include "protocol/om_commands.h"

namespace tavrel {

class OmLink;

namespace om {

// Link-checking sends: a failed send drops the connection so the task reconnects.
void sendHeartbeat(OmLink& link);
void sendAlarmQuery(OmLink& link);

// Every other command: sent when a socket is in place, result ignored.
void sendCommand(OmLink& link, std::string_view text);
void sendLogDestination(OmLink& link, std::string_view localAddress, int port);
void sendSwitchChannel(OmLink& link, int channel);
void sendSetPll(OmLink& link, PllTarget target, int operation, int frequency);
void sendAirLogOn(OmLink& link, std::string_view localAddress, int port);
void sendAirLogOff(OmLink& link);

} // namespace om
} // namespace tavrel

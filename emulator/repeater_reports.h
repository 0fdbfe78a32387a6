// The multi-line texts the repeater logs for the state queries (SHOWSWVER, SHOWARMSTATE, ...).
#pragma once

#include <chrono>
#include <string>

namespace tavrel::emulator {

class RepeaterModel;

std::string softwareVersionReport();
std::string armStateReport(RepeaterModel& model, std::chrono::seconds uptime);
std::string dspStateReport(RepeaterModel& model);
std::string alarmStateReport(int alarmBits);
std::string channelListReport(int currentChannel);

} // namespace tavrel::emulator

// What the main window works with, handed in from outside so tests can put their own pieces in.
#pragma once

#include <functional>
#include <string_view>

#include "app/notification.h"
#include "monitor/stamped_time.h"

namespace tavrel {

class MessageBoxes;
class OmLink;
class LogReceiver;
class AirLogReceiver;

struct MonitorServices {
    NotificationHub& hub;
    OmLink& omLink;
    LogReceiver& logReceiver;
    AirLogReceiver& airLogReceiver;
    // Starts the O&M link and returns its start result (errno set on failure); empty: OmLink::startOmLink.
    std::function<int(std::string_view repeaterAddress)> startLink{};
    // Null: real message boxes.
    MessageBoxes* messageBoxes = nullptr;
    // Empty: the PC's local time.
    StampClock clock{};
};

} // namespace tavrel

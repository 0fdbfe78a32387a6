// The menu bar's items in display order, and the rule that guards them while the link is down.
#include "ui/menu_table.h"

namespace tavrel {
namespace {

constexpr std::string_view kRepeaterControl = "Repeater Control";
constexpr std::string_view kSwitchChannel = "Switch Channel";
constexpr std::string_view kArmRxControl = "ARM Rx Control";
constexpr std::string_view kDspControl = "DSP Control";
constexpr std::string_view kStateQuery = "State Query";
constexpr std::string_view kAirLogging = "AIR Logging";
constexpr std::string_view kMonitorControl = "Monitor Control";

constexpr std::array<std::string_view, 16> kChannelTexts{
    "Channel 0",  "Channel 1",  "Channel 2",  "Channel 3",  "Channel 4",  "Channel 5",
    "Channel 6",  "Channel 7",  "Channel 8",  "Channel 9",  "Channel 10", "Channel 11",
    "Channel 12", "Channel 13", "Channel 14", "Channel 15",
};

constexpr MenuItem channel(int n) {
    return {kRepeaterControl,
            kSwitchChannel,
            kChannelTexts[static_cast<std::size_t>(n)],
            command::kChannel0 + n,
            MenuAction::SwitchChannel,
            {},
            n};
}

constexpr MenuItem send(std::string_view menu, std::string_view submenu, std::string_view text, int id,
                        std::string_view commandText) {
    return {menu, submenu, text, id, MenuAction::SendCommand, commandText};
}

constexpr MenuItem pll(std::string_view text, int id, om::PllTarget target) {
    return {kRepeaterControl, {}, text, id, MenuAction::SetPll, {}, 0, target};
}

constexpr MenuItem other(std::string_view menu, std::string_view text, int id, MenuAction action) {
    return {menu, {}, text, id, action};
}

} // namespace

const std::array<MenuItem, kMenuItemCount> kMenuTable{{
    channel(0),
    channel(1),
    channel(2),
    channel(3),
    channel(4),
    channel(5),
    channel(6),
    channel(7),
    channel(8),
    channel(9),
    channel(10),
    channel(11),
    channel(12),
    channel(13),
    channel(14),
    channel(15),
    pll("Set Rx PLL", command::kSetRxPll, om::PllTarget::Rx),
    pll("Set Tx PLL", command::kSetTxPll, om::PllTarget::Tx),
    send(kRepeaterControl, {}, "PA On", command::kPaOn, om::kPaOn),
    send(kRepeaterControl, {}, "PA Off", command::kPaOff, om::kPaOff),
    send(kRepeaterControl, kArmRxControl, "Reset 12.8M VCO", command::kReset12p8Vco, om::kReset12p8),
    send(kRepeaterControl, kArmRxControl, "Initiate AD9864", command::kInitAd9864, om::kInitAd9864),
    send(kRepeaterControl, kArmRxControl, "Reset BPF", command::kResetBpf, om::kResetBpf),
    send(kRepeaterControl, kDspControl, "Reset Receiver", command::kDspResetReceiver, om::kResetDspRx),
    send(kRepeaterControl, kDspControl, "LOG On", command::kDspLogOn, om::kDspLogOn),
    send(kRepeaterControl, kDspControl, "LOG Off", command::kDspLogOff, om::kDspLogOff),
    send(kRepeaterControl, kDspControl, "DSPLink LOG On", command::kDspLinkLogOn, om::kDspLinkLogOn),
    send(kRepeaterControl, kDspControl, "DSPLink LOG Off", command::kDspLinkLogOff, om::kDspLinkLogOff),
    send(kRepeaterControl, {}, "Reboot", command::kReboot, om::kRebootRepeater),
    send(kStateQuery, {}, "Version Info", command::kVersionInfo, om::kShowSwVersion),
    send(kStateQuery, {}, "ARM State", command::kShowArmState, om::kShowArmState),
    send(kStateQuery, {}, "DSP State", command::kShowDspState, om::kShowDspState),
    send(kStateQuery, {}, "Alarm State", command::kShowAlarmState, om::kShowAlarmState),
    send(kStateQuery, {}, "Channel List", command::kChannelList, om::kListChannel),
    other(kAirLogging, "LOG On", command::kAirLogOn, MenuAction::AirLogOn),
    other(kAirLogging, "LOG Off", command::kAirLogOff, MenuAction::AirLogOff),
    other(kMonitorControl, "Clear Log", command::kClearLog, MenuAction::ClearLog),
    other(kMonitorControl, "Alarm History...", command::kAlarmHistory, MenuAction::AlarmHistory),
    other(kMonitorControl, "Notifications", command::kNotifications, MenuAction::Notifications),
}};

bool worksWhileDisconnected(MenuAction action) {
    return action == MenuAction::ClearLog || action == MenuAction::AlarmHistory ||
           action == MenuAction::Notifications;
}

const MenuItem* findMenuItem(int id) {
    for (const MenuItem& item : kMenuTable)
        if (item.id == id)
            return &item;
    return nullptr;
}

bool runMenuItem(const MenuItem& item, bool connected, MenuActions& actions) {
    if (!connected && !worksWhileDisconnected(item.action))
        return false;
    switch (item.action) {
    case MenuAction::SendCommand:
        actions.sendCommand(item.command);
        break;
    case MenuAction::SwitchChannel:
        actions.switchChannel(item.channel);
        break;
    case MenuAction::SetPll:
        actions.setPll(item.pllTarget);
        break;
    case MenuAction::AirLogOn:
        actions.airLogOn();
        break;
    case MenuAction::AirLogOff:
        actions.airLogOff();
        break;
    case MenuAction::ClearLog:
        actions.clearLog();
        break;
    case MenuAction::AlarmHistory:
        actions.showAlarmHistory();
        break;
    case MenuAction::Notifications:
        actions.toggleNotifications();
        break;
    }
    return true;
}

} // namespace tavrel

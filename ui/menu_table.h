// The main window's menu bar as one table: every item in display order, with its command id and action.
#pragma once

#include <array>
#include <string_view>

#include "protocol/om_commands.h"
#include "ui/monitor_ids.h"

namespace tavrel {

enum class MenuAction {
    SendCommand,   // one fixed command text
    SwitchChannel, // SWICHCHNL with the item's channel
    SetPll,        // the PLL dialog, then SETPLL
    AirLogOn,      // AILOGON and show the air log window
    AirLogOff,     // AILOGOFF and hide it
    ClearLog,      // empty the event-log view
    AlarmHistory,  // show the alarm history window
    Notifications, // a check item: desktop notifications on or off for this run
};

// The window's own items ("Monitor Control") work in any state; the others need the link.
bool worksWhileDisconnected(MenuAction action);

struct MenuItem {
    std::string_view menu;    // title in the menu bar
    std::string_view submenu; // empty when the item sits directly in the menu
    std::string_view text;
    int id = 0;
    MenuAction action = MenuAction::SendCommand;
    std::string_view command{};                  // SendCommand
    int channel = 0;                             // SwitchChannel
    om::PllTarget pllTarget = om::PllTarget::Rx; // SetPll
};

inline constexpr std::string_view kHelpMenuTitle = "Help";
inline constexpr std::string_view kAboutItemText = "About Tavrel(&A)...";

inline constexpr int kMenuItemCount = 39;
extern const std::array<MenuItem, kMenuItemCount> kMenuTable;

// The item with this command id, or nullptr.
const MenuItem* findMenuItem(int id);

// What the window does for each kind of action.
class MenuActions {
public:
    virtual ~MenuActions() = default;
    virtual void sendCommand(std::string_view text) = 0;
    virtual void switchChannel(int channel) = 0;
    virtual void setPll(om::PllTarget target) = 0;
    virtual void airLogOn() = 0;
    virtual void airLogOff() = 0;
    virtual void clearLog() = 0;
    virtual void showAlarmHistory() = 0;
    virtual void toggleNotifications() = 0;
};

// Runs the item's action. While disconnected every item that needs the link does nothing at all (no
// command, no dialog, no message); returns whether the action ran.
bool runMenuItem(const MenuItem& item, bool connected, MenuActions& actions);

} // namespace tavrel

// The menu table: every item in display order with its id and action, and the rule while disconnected.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/menu_table.h"

namespace tavrel {
namespace {

struct Expected {
    std::string path;
    int id;
    std::string action; // the command text, or what else the item does
};

std::string pathOf(const MenuItem& item) {
    std::string path(item.menu);
    if (!item.submenu.empty())
        path += " > " + std::string(item.submenu);
    return path + " > " + std::string(item.text);
}

std::string actionOf(const MenuItem& item) {
    switch (item.action) {
    case MenuAction::SendCommand:
        return std::string(item.command);
    case MenuAction::SwitchChannel:
        return om::formatSwitchChannel(item.channel);
    case MenuAction::SetPll:
        return item.pllTarget == om::PllTarget::Rx ? "PLL dialog RX" : "PLL dialog TX";
    case MenuAction::AirLogOn:
        return "AILOGON";
    case MenuAction::AirLogOff:
        return "AILOGOFF";
    case MenuAction::ClearLog:
        return "clear view";
    case MenuAction::AlarmHistory:
        return "history window";
    case MenuAction::Notifications:
        return "notifications on/off";
    }
    return {};
}

std::vector<Expected> expectedMenu() {
    std::vector<Expected> rows;
    for (int n = 0; n < 16; ++n)
        rows.push_back({"Repeater Control > Switch Channel > Channel " + std::to_string(n), 32798 + n,
                        "TEST_CTRL_TO_CHCU:SWICHCHNL:" + std::to_string(n)});
    const std::vector<Expected> rest{
        {"Repeater Control > Set Rx PLL", 32788, "PLL dialog RX"},
        {"Repeater Control > Set Tx PLL", 32789, "PLL dialog TX"},
        {"Repeater Control > PA On", 32790, "TEST_CTRL_TO_CHCU:PA:ON"},
        {"Repeater Control > PA Off", 32791, "TEST_CTRL_TO_CHCU:PA:OFF"},
        {"Repeater Control > ARM Rx Control > Reset 12.8M VCO", 32826, "TEST_CTRL_TO_CHCU:RESET12P8:"},
        {"Repeater Control > ARM Rx Control > Initiate AD9864", 32824, "TEST_CTRL_TO_CHCU:INITAD9864:"},
        {"Repeater Control > ARM Rx Control > Reset BPF", 32825, "TEST_CTRL_TO_CHCU:RESETBPF:"},
        {"Repeater Control > DSP Control > Reset Receiver", 32816, "TEST_CTRL_TO_CHCU:RESETDSPRX:"},
        {"Repeater Control > DSP Control > LOG On", 32817, "TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON"},
        {"Repeater Control > DSP Control > LOG Off", 32818, "TEST_CTRL_TO_CHCU:CTRLDSPLOG:OFF"},
        {"Repeater Control > DSP Control > DSPLink LOG On", 32829, "TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:ON"},
        {"Repeater Control > DSP Control > DSPLink LOG Off", 32830, "TEST_CTRL_TO_CHCU:CTRLDSPLINKLOG:OFF"},
        {"Repeater Control > Reboot", 32792, "TEST_CTRL_TO_CHCU:REBOOTREPEATER:"},
        {"State Query > Version Info", 32793, "TEST_CTRL_TO_CHCU:SHOWSWVER:"},
        {"State Query > ARM State", 32785, "TEST_CTRL_TO_CHCU:SHOWARMSTATE:"},
        {"State Query > DSP State", 32786, "TEST_CTRL_TO_CHCU:SHOWDSPSTATE:"},
        {"State Query > Alarm State", 32787, "TEST_CTRL_TO_CHCU:SHOWALARMSTATE:"},
        {"State Query > Channel List", 32796, "TEST_CTRL_TO_CHCU:LISTCHANNEL:"},
        {"AIR Logging > LOG On", 32827, "AILOGON"},
        {"AIR Logging > LOG Off", 32828, "AILOGOFF"},
        {"Monitor Control > Clear Log", 32794, "clear view"},
        {"Monitor Control > Alarm History...", 32831, "history window"},
        {"Monitor Control > Notifications", 32832, "notifications on/off"},
    };
    rows.insert(rows.end(), rest.begin(), rest.end());
    return rows;
}

TEST(MonitorMenuTable, HoldsEveryItemInDisplayOrderWithItsIdAndAction) {
    const std::vector<Expected> expected = expectedMenu();
    ASSERT_EQ(kMenuTable.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].path);
        EXPECT_EQ(pathOf(kMenuTable[i]), expected[i].path);
        EXPECT_EQ(kMenuTable[i].id, expected[i].id);
        EXPECT_EQ(actionOf(kMenuTable[i]), expected[i].action);
        EXPECT_EQ(findMenuItem(expected[i].id), &kMenuTable[i]);
    }
    EXPECT_EQ(findMenuItem(16), nullptr) << "About is not a menu-table command";
    EXPECT_EQ(findMenuItem(32795), nullptr);
}

class RecordingActions : public MenuActions {
public:
    void sendCommand(std::string_view text) override { calls.push_back("send " + std::string(text)); }
    void switchChannel(int channel) override { calls.push_back("channel " + std::to_string(channel)); }
    void setPll(om::PllTarget target) override {
        calls.push_back(target == om::PllTarget::Rx ? "pll rx" : "pll tx");
    }
    void airLogOn() override { calls.push_back("air on"); }
    void airLogOff() override { calls.push_back("air off"); }
    void clearLog() override { calls.push_back("clear"); }
    void showAlarmHistory() override { calls.push_back("history"); }
    void toggleNotifications() override { calls.push_back("notifications"); }
    std::vector<std::string> calls;
};

TEST(MonitorMenuTable, WhileDisconnectedOnlyTheMonitorControlItemsDoAnything) {
    RecordingActions actions;
    for (const MenuItem& item : kMenuTable)
        EXPECT_EQ(runMenuItem(item, false, actions), item.menu == "Monitor Control") << pathOf(item);
    EXPECT_EQ(actions.calls, (std::vector<std::string>{"clear", "history", "notifications"}));
}

TEST(MonitorMenuTable, WhileConnectedEachItemRunsItsAction) {
    RecordingActions actions;
    runMenuItem(*findMenuItem(32808), true, actions);
    runMenuItem(*findMenuItem(32792), true, actions);
    runMenuItem(*findMenuItem(32789), true, actions);
    runMenuItem(*findMenuItem(32827), true, actions);
    runMenuItem(*findMenuItem(32828), true, actions);
    runMenuItem(*findMenuItem(32794), true, actions);
    EXPECT_EQ(actions.calls, (std::vector<std::string>{"channel 10", "send TEST_CTRL_TO_CHCU:REBOOTREPEATER:",
                                                       "pll tx", "air on", "air off", "clear"}));
}

} // namespace
} // namespace tavrel

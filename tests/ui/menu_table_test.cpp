// The menu table's properties: every item can be found by a unique id and reaches exactly its handler, the
// menu bar built from it shows each menu and submenu once, and the rule while disconnected.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/menu_table.h"

namespace tavrel {
namespace {

std::string pathOf(const MenuItem& item) {
    std::string path(item.menu);
    if (!item.submenu.empty())
        path += " > " + std::string(item.submenu);
    return path + " > " + std::string(item.text);
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

TEST(MonitorMenuTable, EveryItemIsFoundByItsOwnIdAndNothingElseIs) {
    std::set<int> ids;
    for (const MenuItem& item : kMenuTable) {
        SCOPED_TRACE(pathOf(item));
        EXPECT_TRUE(ids.insert(item.id).second) << "id used twice";
        EXPECT_EQ(findMenuItem(item.id), &item);
        // The window tells About apart by its low bits (a system command): no item may look like it.
        EXPECT_NE(item.id & 0xFFF0, command::kAbout);
    }
    EXPECT_EQ(findMenuItem(command::kAbout), nullptr) << "About is not a menu-table command";
    EXPECT_EQ(findMenuItem(32795), nullptr);
}

// The window starts a new menu (or submenu) whenever the title changes from one item to the next, so the
// items of each must stand together, and no two items may have the same place.
TEST(MonitorMenuTable, EachMenuAndSubmenuIsOneRunAndEveryPlaceIsTakenOnce) {
    std::set<std::string> closedMenus, closedSubmenus, paths;
    for (std::size_t i = 0; i < kMenuTable.size(); ++i) {
        const MenuItem& item = kMenuTable[i];
        SCOPED_TRACE(pathOf(item));
        EXPECT_TRUE(paths.insert(pathOf(item)).second);
        EXPECT_FALSE(closedMenus.contains(std::string(item.menu))) << "its menu appeared before";
        if (!item.submenu.empty()) {
            EXPECT_FALSE(closedSubmenus.contains(std::string(item.menu) + ">" + std::string(item.submenu)));
        }
        if (i + 1 == kMenuTable.size())
            break;
        const MenuItem& next = kMenuTable[i + 1];
        if (next.menu != item.menu)
            closedMenus.insert(std::string(item.menu));
        if (!item.submenu.empty() && (next.submenu != item.submenu || next.menu != item.menu))
            closedSubmenus.insert(std::string(item.menu) + ">" + std::string(item.submenu));
    }
}

// While connected, each item calls exactly one handler, the one its kind names, with its own argument.
TEST(MonitorMenuTable, WhileConnectedEveryItemReachesExactlyItsHandler) {
    const std::set<std::string_view> plainCommands{
        om::kPaOn,         om::kPaOff,         om::kReset12p8,      om::kInitAd9864,
        om::kResetBpf,     om::kResetDspRx,    om::kDspLogOn,       om::kDspLogOff,
        om::kDspLinkLogOn, om::kDspLinkLogOff, om::kRebootRepeater, om::kShowSwVersion,
        om::kShowArmState, om::kShowDspState,  om::kShowAlarmState, om::kListChannel};
    std::set<std::string> sentTexts, windowCalls;
    std::vector<int> channels;
    std::size_t windowItems = 0;
    for (const MenuItem& item : kMenuTable) {
        SCOPED_TRACE(pathOf(item));
        RecordingActions actions;
        EXPECT_TRUE(runMenuItem(item, true, actions));
        ASSERT_EQ(actions.calls.size(), 1u);
        const std::string& call = actions.calls.front();
        switch (item.action) {
        case MenuAction::SendCommand:
            EXPECT_TRUE(plainCommands.contains(item.command)) << "not a command of the protocol";
            EXPECT_EQ(call, "send " + std::string(item.command));
            sentTexts.insert(std::string(item.command));
            break;
        case MenuAction::SwitchChannel:
            EXPECT_EQ(call, "channel " + std::to_string(item.channel));
            EXPECT_EQ(item.id, command::kChannel0 + item.channel);
            EXPECT_EQ(item.text, "Channel " + std::to_string(item.channel));
            channels.push_back(item.channel);
            break;
        case MenuAction::SetPll:
            EXPECT_EQ(call, item.pllTarget == om::PllTarget::Rx ? "pll rx" : "pll tx");
            break;
        default: // the window's own actions: each kind has a handler of its own
            EXPECT_FALSE(call.starts_with("send ") || call.starts_with("channel ") ||
                         call.starts_with("pll "));
            windowCalls.insert(call);
            ++windowItems;
            break;
        }
    }
    EXPECT_EQ(sentTexts.size(), plainCommands.size()) << "every plain command has its one item";
    EXPECT_EQ(windowCalls.size(), windowItems) << "two items reach the same window handler";
    std::vector<int> allChannels(16);
    for (int n = 0; n < 16; ++n)
        allChannels[static_cast<std::size_t>(n)] = n;
    EXPECT_EQ(channels, allChannels) << "channels 0 to 15, in order";
}

TEST(MonitorMenuTable, WhileDisconnectedOnlyTheMonitorControlItemsDoAnything) {
    RecordingActions actions;
    for (const MenuItem& item : kMenuTable)
        EXPECT_EQ(runMenuItem(item, false, actions), item.menu == "Monitor Control") << pathOf(item);
    EXPECT_EQ(actions.calls, (std::vector<std::string>{"clear", "history", "notifications"}));
}

TEST(MonitorMenuTable, Channel10AndRebootSendTheirExactTexts) {
    RecordingActions actions;
    runMenuItem(*findMenuItem(32808), true, actions);
    runMenuItem(*findMenuItem(32792), true, actions);
    EXPECT_EQ(actions.calls,
              (std::vector<std::string>{"channel 10", "send TEST_CTRL_TO_CHCU:REBOOTREPEATER:"}));
}

} // namespace
} // namespace tavrel

// The O&M stream splitter: joined commands, commands split across reads, and text that is no command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/command_splitter.h"

namespace tavrel::emulator {
namespace {

using Texts = std::vector<std::string>;

TEST(EmulatorSplitter, SeveralCommandsInOneChunkComeApartInOrder) {
    CommandSplitter splitter;
    const Texts commands =
        splitter.feed("TEST_CHCU_TO_OAM:HEARTBEAT;TEST_CTRL_TO_CHCU:SETLOGDST:UDP:10.0.0.5,4000"
                      "TEST_CTRL_TO_CHCU:ALARMQUERY:");
    EXPECT_EQ(commands, (Texts{"TEST_CHCU_TO_OAM:HEARTBEAT;", "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:10.0.0.5,4000",
                               "TEST_CTRL_TO_CHCU:ALARMQUERY:"}));
    EXPECT_FALSE(splitter.hasPending());
}

TEST(EmulatorSplitter, TextWithArgumentsWaitsForTheNextPrefixOrTheQuietGap) {
    CommandSplitter splitter;
    // "SWICHCHNL:1" may still become "SWICHCHNL:10": it is not taken before more bytes or a flush.
    EXPECT_TRUE(splitter.feed("TEST_CTRL_TO_CHCU:SWICHCHNL:1").empty());
    EXPECT_TRUE(splitter.feed("0").empty());
    EXPECT_EQ(splitter.feed("TEST_CTRL_TO_CHCU:PA:OFF"),
              (Texts{"TEST_CTRL_TO_CHCU:SWICHCHNL:10", "TEST_CTRL_TO_CHCU:PA:OFF"}));

    EXPECT_TRUE(splitter.feed("TEST_CTRL_TO_CHCU:SETPLL:TX:2,0").empty());
    EXPECT_EQ(splitter.flush(), "TEST_CTRL_TO_CHCU:SETPLL:TX:2,0");
    EXPECT_EQ(splitter.flush(), std::nullopt);
}

TEST(EmulatorSplitter, CommandSplitAcrossChunksIsJoined) {
    CommandSplitter splitter;
    EXPECT_TRUE(splitter.feed("TEST_CTRL_TO_CHCU:ALARMQU").empty());
    EXPECT_EQ(splitter.feed("ERY:"), Texts{"TEST_CTRL_TO_CHCU:ALARMQUERY:"});

    // A split inside the next command's prefix is found once the prefix is whole.
    EXPECT_TRUE(splitter.feed("TEST_CTRL_TO_CHCU:SWICHCHNL:3TEST_CT").empty());
    EXPECT_EQ(splitter.feed("RL_TO_CHCU:PA:ON"),
              (Texts{"TEST_CTRL_TO_CHCU:SWICHCHNL:3", "TEST_CTRL_TO_CHCU:PA:ON"}));

    // "PA:O" could become PA:ON or PA:OFF; "CTRLDSPLOG:ON" is whole at once.
    EXPECT_TRUE(splitter.feed("TEST_CTRL_TO_CHCU:PA:O").empty());
    EXPECT_EQ(splitter.feed("FF"), Texts{"TEST_CTRL_TO_CHCU:PA:OFF"});
    EXPECT_EQ(splitter.feed("TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON"), Texts{"TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON"});
}

TEST(EmulatorSplitter, UnknownTextIsKeptAsItsOwnCommand) {
    CommandSplitter splitter;
    // Bytes before the first prefix, and a terminator the monitor must not send, stay visible.
    EXPECT_EQ(splitter.feed("hello TEST_CTRL_TO_CHCU:LISTCHANNEL:"),
              (Texts{"hello ", "TEST_CTRL_TO_CHCU:LISTCHANNEL:"}));
    const std::string withNul("TEST_CHCU_TO_OAM:HEARTBEAT;\0", 28);
    EXPECT_TRUE(splitter.feed(withNul).empty());
    EXPECT_EQ(splitter.flush(), withNul);

    EXPECT_TRUE(splitter.feed("TEST_CTRL_TO_CHCU:REBOOT").empty());
    EXPECT_EQ(splitter.feed("TEST_CTRL_TO_CHCU:AILOGOFF"),
              (Texts{"TEST_CTRL_TO_CHCU:REBOOT", "TEST_CTRL_TO_CHCU:AILOGOFF"}));
}

TEST(EmulatorSplitter, EndlessTextWithoutPrefixIsCutAtTheLimit) {
    CommandSplitter splitter;
    EXPECT_TRUE(splitter.feed(std::string(CommandSplitter::kMaxPendingBytes, 'x')).empty());
    const Texts commands = splitter.feed("y");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].size(), CommandSplitter::kMaxPendingBytes + 1);
    EXPECT_FALSE(splitter.hasPending());
}

} // namespace
} // namespace tavrel::emulator

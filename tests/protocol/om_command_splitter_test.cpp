// The O&M stream splitter that the emulator and the relay share: joined commands, commands split across
// reads, texts that wait for the quiet gap, text that is no command, and the size limit.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "protocol/om_command_splitter.h"
#include "protocol/om_commands.h"

namespace tavrel::om {
namespace {

using Texts = std::vector<std::string>;

TEST(OmCommandSplitter, TellsCompleteFixedTextsFromTextsThatMayGrow) {
    const struct {
        std::string text;
        bool complete;
    } cases[]{
        {std::string(kHeartbeat), true},
        {std::string(kAlarmQuery), true},
        {std::string(kPaOn), true},
        {std::string(kPaOff), true},
        {std::string(kDspLogOn), true},
        {std::string(kAirLogOff), true},
        {"TEST_CTRL_TO_CHCU:PA:O", false},        // may become PA:ON or PA:OFF
        {"TEST_CTRL_TO_CHCU:SWICHCHNL:1", false}, // texts with arguments may always grow
        {std::string(kSwitchChannelHead), false},
        {"TEST_CTRL_TO_CHCU:ALARMQUERY", false}, // a known text still starts with it
        {"TEST_CTRL_TO_CHCU:ALARMQUERY::", false},
        {std::string(kControlPrefix), false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isCompleteFixedCommand(c.text), c.complete) << c.text;
}

// One call on the splitter: feed(chunk) and the commands it completes, or, without a chunk, flush() and
// what it ends (nothing, or one text).
struct Step {
    std::optional<std::string> chunk;
    Texts out;
};

TEST(OmCommandSplitter, CutsTheStreamIntoCommands) {
    const std::string withNul("TEST_CHCU_TO_OAM:HEARTBEAT;\0", 28);
    const std::size_t limit = CommandSplitter::kMaxPendingBytes;
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[]{
        {"several commands in one chunk come apart in order",
         {{"TEST_CHCU_TO_OAM:HEARTBEAT;TEST_CTRL_TO_CHCU:SETLOGDST:UDP:10.0.0.5,4000"
           "TEST_CTRL_TO_CHCU:ALARMQUERY:",
           {"TEST_CHCU_TO_OAM:HEARTBEAT;", "TEST_CTRL_TO_CHCU:SETLOGDST:UDP:10.0.0.5,4000",
            "TEST_CTRL_TO_CHCU:ALARMQUERY:"}}}},
        {"two fixed texts in one chunk",
         {{"TEST_CHCU_TO_OAM:HEARTBEAT;TEST_CTRL_TO_CHCU:ALARMQUERY:",
           {"TEST_CHCU_TO_OAM:HEARTBEAT;", "TEST_CTRL_TO_CHCU:ALARMQUERY:"}},
          {std::nullopt, {}}}},
        // "SWICHCHNL:1" may still become "SWICHCHNL:10": it is not taken before more bytes or a flush.
        {"text with arguments waits for the next prefix",
         {{"TEST_CTRL_TO_CHCU:SWICHCHNL:1", {}},
          {"0", {}},
          {"TEST_CTRL_TO_CHCU:PA:OFF", {"TEST_CTRL_TO_CHCU:SWICHCHNL:10", "TEST_CTRL_TO_CHCU:PA:OFF"}}}},
        {"text with arguments is ended by the flush, once",
         {{"TEST_CTRL_TO_CHCU:SETPLL:TX:2,0", {}},
          {std::nullopt, {"TEST_CTRL_TO_CHCU:SETPLL:TX:2,0"}},
          {std::nullopt, {}}}},
        {"text with arguments left alone is left for the quiet gap",
         {{"TEST_CTRL_TO_CHCU:SWICHCHNL:1", {}}, {std::nullopt, {"TEST_CTRL_TO_CHCU:SWICHCHNL:1"}}}},
        {"text with arguments ended by a later chunk's prefix",
         {{"TEST_CTRL_TO_CHCU:SWICHCHNL:1", {}},
          {"TEST_CTRL_TO_CHCU:PA:ON", {"TEST_CTRL_TO_CHCU:SWICHCHNL:1", "TEST_CTRL_TO_CHCU:PA:ON"}},
          {std::nullopt, {}}}},
        {"a fixed text split across chunks is joined",
         {{"TEST_CTRL_TO_CHCU:ALARMQU", {}}, {"ERY:", {"TEST_CTRL_TO_CHCU:ALARMQUERY:"}}}},
        // A split inside the next command's prefix is found once the prefix is whole.
        {"a split inside the next prefix",
         {{"TEST_CTRL_TO_CHCU:SWICHCHNL:3TEST_CT", {}},
          {"RL_TO_CHCU:PA:ON", {"TEST_CTRL_TO_CHCU:SWICHCHNL:3", "TEST_CTRL_TO_CHCU:PA:ON"}}}},
        // "PA:O" could become PA:ON or PA:OFF; "CTRLDSPLOG:ON" is whole at once.
        {"a fixed text that another starts with waits",
         {{"TEST_CTRL_TO_CHCU:PA:O", {}},
          {"FF", {"TEST_CTRL_TO_CHCU:PA:OFF"}},
          {"TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON", {"TEST_CTRL_TO_CHCU:CTRLDSPLOG:ON"}},
          {std::nullopt, {}}}},
        // Bytes before the first prefix, and a terminator the monitor must not send, stay visible.
        {"bytes before the first prefix are a command of their own",
         {{"hello TEST_CTRL_TO_CHCU:LISTCHANNEL:", {"hello ", "TEST_CTRL_TO_CHCU:LISTCHANNEL:"}}}},
        {"bytes before the first prefix in their own chunk",
         {{"junk", {}},
          {"TEST_CTRL_TO_CHCU:SHOWSWVER:", {"junk", "TEST_CTRL_TO_CHCU:SHOWSWVER:"}},
          {std::nullopt, {}}}},
        {"one stray byte before a prefix", {{"xTEST_CTRL_TO_CHCU:PA:ON", {"x", "TEST_CTRL_TO_CHCU:PA:ON"}}}},
        {"one stray byte alone waits for the flush", {{"x", {}}, {std::nullopt, {"x"}}}},
        {"the heartbeat's prefix ends a command too",
         {{"TEST_CTRL_TO_CHCU:SWICHCHNL:2TEST_CHCU_TO_OAM:HEARTBEAT;",
           {"TEST_CTRL_TO_CHCU:SWICHCHNL:2", "TEST_CHCU_TO_OAM:HEARTBEAT;"}}}},
        {"a terminator after a fixed text makes it wait", {{withNul, {}}, {std::nullopt, {withNul}}}},
        {"an unknown text waits for the next prefix",
         {{"TEST_CTRL_TO_CHCU:REBOOT", {}},
          {"TEST_CTRL_TO_CHCU:AILOGOFF", {"TEST_CTRL_TO_CHCU:REBOOT", "TEST_CTRL_TO_CHCU:AILOGOFF"}}}},
        {"endless text without prefix is cut past the limit",
         {{std::string(limit, 'x'), {}}, {"y", {std::string(limit, 'x') + "y"}}}},
        {"text beyond the limit in one chunk is taken at once",
         {{std::string(600, 'x'), {std::string(600, 'x')}}, {std::nullopt, {}}}},
    };
    for (const auto& c : cases) {
        CommandSplitter splitter;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            if (step.chunk) {
                EXPECT_EQ(splitter.feed(*step.chunk), step.out) << c.name << ", step " << i;
            } else {
                const std::optional<std::string> flushed = splitter.flush();
                EXPECT_EQ(flushed ? Texts{*flushed} : Texts{}, step.out) << c.name << ", step " << i;
            }
        }
        EXPECT_FALSE(splitter.hasPending()) << c.name;
    }
}

TEST(OmCommandSplitter, ResetDropsThePendingText) {
    CommandSplitter splitter;
    EXPECT_TRUE(splitter.feed("TEST_CTRL_TO_CHCU:SWICHCHNL:1").empty());
    EXPECT_TRUE(splitter.hasPending());
    splitter.reset();
    EXPECT_FALSE(splitter.hasPending());
    EXPECT_EQ(splitter.flush(), std::nullopt);
}

} // namespace
} // namespace tavrel::om

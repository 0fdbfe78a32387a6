// The collector's options: what each argument list gives, and the message for each wrong one.
#include <gtest/gtest.h>

#include "apps/collector/collector_command_line.h"

namespace tavrel {
namespace {

TEST(CollectorCommandLine, ReadsEachOptionAndNamesWhatIsWrong) {
    struct Case {
        std::vector<std::string_view> arguments;
        std::string config;
        std::string web;
        bool check;
        std::string error;
    };
    const std::vector<Case> cases{
        {{"--config", "a.ini"}, "a.ini", "", false, ""},
        {{"--config=a.ini", "--check-config"}, "a.ini", "", true, ""},
        {{"--config", "a.ini", "--web.config.file", "w.yml"}, "a.ini", "w.yml", false, ""},
        {{"--web.config.file=w.yml", "--config", "a.ini"}, "a.ini", "w.yml", false, ""},
        {{}, "", "", false, "no --config FILE given"},
        {{"--check-config"}, "", "", true, "no --config FILE given"},
        {{"--config"}, "", "", false, "Missing value after '--config'."},
        {{"--config="}, "", "", false, "--config needs a file"},
        {{"--config", "a.ini", "--web.config.file"},
         "",
         "",
         false,
         "Missing value after '--web.config.file'."},
        {{"--config", "a.ini", "--bogus"}, "", "", false, "Unknown option 'bogus'."},
        {{"--config", "a.ini", "extra"}, "", "", false, "unknown argument 'extra'"},
    };
    for (const Case& c : cases) {
        const CollectorCommandLine line = parseCollectorCommandLine(c.arguments);
        EXPECT_EQ(line.error, c.error) << c.arguments.size();
        if (c.error.empty()) {
            EXPECT_EQ(line.configPath, c.config);
            EXPECT_EQ(line.webConfigPath, c.web);
            EXPECT_EQ(line.checkConfig, c.check);
        }
    }
    EXPECT_TRUE(parseCollectorCommandLine({"-h"}).showHelp);
    EXPECT_TRUE(parseCollectorCommandLine({"--version"}).showVersion);
    EXPECT_EQ(parseCollectorCommandLine({"--help"}).error, "");
}

} // namespace
} // namespace tavrel

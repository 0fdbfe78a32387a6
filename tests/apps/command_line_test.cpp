// The command line: values for the setup dialog, each bad one named; --help and --version, also as the
// program answers them.
#include "apps/tavrel/command_line.h"

#include <cstdio>
#include <memory>

#include <gtest/gtest.h>

namespace tavrel {
namespace {

struct LineCase {
    std::vector<std::string> arguments;
    std::optional<std::string> local;
    std::optional<std::string> repeater;
    std::optional<int> monitorPort;
    std::optional<int> airPort;
    std::vector<std::string> problems;
};

TEST(CommandLine, FillsTheSetupValuesAndNamesEveryBadOne) {
    const std::vector<LineCase> cases{
        {{}, {}, {}, {}, {}, {}},
        {{"--repeater", "10.0.1.5", "--local", "10.0.0.2", "--monitor-port", "44330", "--air-port=45330"},
         "10.0.0.2",
         "10.0.1.5",
         44330,
         45330,
         {}},
        {{"--repeater=10.0.1.300", "--local", "host", "--monitor-port", "0", "--air-port", "65536"},
         {},
         {},
         {},
         {},
         {"--repeater \"10.0.1.300\": Invalid repeater address", "--local \"host\": not an IPv4 address",
          "--monitor-port \"0\": Invalid monitor rx port", "--air-port \"65536\": Invalid air log rx port"}},
        {{"--monitor-port", "12ab", "--air-port=", "--repeater", "10.0.1.5", "--repeater", "10.0.1.6"},
         {},
         "10.0.1.6",
         {},
         {},
         {"--monitor-port \"12ab\": Invalid monitor rx port", "--air-port \"\": Invalid air log rx port"}},
        {{"--verbose", "10.0.1.5", "--local"},
         {},
         {},
         {},
         {},
         {"unknown option \"--verbose\"", "unexpected argument \"10.0.1.5\"", "--local: a value is missing"}},
    };
    for (const LineCase& c : cases) {
        std::string joined;
        for (const auto& argument : c.arguments)
            joined += argument + " ";
        SCOPED_TRACE(joined);
        const CommandLine line = parseCommandLine(c.arguments);
        EXPECT_FALSE(line.help);
        EXPECT_FALSE(line.version);
        EXPECT_EQ(line.prefill.localAddress, c.local);
        EXPECT_EQ(line.prefill.repeaterAddress, c.repeater);
        EXPECT_EQ(line.prefill.monitorRxPort, c.monitorPort);
        EXPECT_EQ(line.prefill.airLogRxPort, c.airPort);
        EXPECT_EQ(line.prefill.problems, c.problems);
    }
    EXPECT_TRUE(parseCommandLine({"-platform", "offscreen", "--help"}).help);
    EXPECT_TRUE(parseCommandLine({"--version"}).version);
}

// --via names the relay the link goes through; it needs --repeater, which still names the run.
TEST(CommandLine, TakesTheRelayOnlyWithTheRepeater) {
    const struct {
        std::vector<std::string> arguments;
        std::string viaAddress;
        int viaPort;
        std::vector<std::string> problems;
    } cases[]{
        {{"--repeater", "10.0.1.5", "--via", "127.0.0.1:4000"}, "127.0.0.1", 4000, {}},
        {{"--via=127.0.0.1:4000", "--repeater=10.0.1.5"}, "127.0.0.1", 4000, {}},
        {{"--repeater", "10.0.1.5", "--via", "127.0.0.1"}, "", 0,
         {"--via \"127.0.0.1\": not ADDRESS:PORT (IPv4, port 1-65535)"}},
        {{"--repeater", "10.0.1.5", "--via", "host:70000"}, "", 0,
         {"--via \"host:70000\": not ADDRESS:PORT (IPv4, port 1-65535)"}},
        {{"--via", "127.0.0.1:4000"}, "", 0, {"--via: needs --repeater, the repeater it leads to"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
        const CommandLine line = parseCommandLine(c.arguments);
        EXPECT_EQ(line.viaAddress, c.viaAddress);
        EXPECT_EQ(line.viaPort, c.viaPort);
        EXPECT_EQ(line.prefill.problems, c.problems);
    }
    EXPECT_TRUE(parseCommandLine({"-h"}).help);
}

// The program itself, without a display: both are answered before Qt starts.
TEST(CommandLine, TheProgramAnswersHelpAndVersionOnStandardOutput) {
    for (const auto& [option, expected] :
         {std::pair{"--help", usageText()}, std::pair{"--version", std::string("tavrel 1.0.0.7\n")}}) {
        const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb ") +
                                    TAVREL_PROGRAM + " " + option;
        std::unique_ptr<FILE, int (*)(FILE*)> out(::popen(command.c_str(), "r"), ::pclose);
        ASSERT_TRUE(out);
        std::string text;
        char buffer[512];
        while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, out.get()))
            text.append(buffer, got);
        EXPECT_EQ(text, expected) << option;
        EXPECT_EQ(::pclose(out.release()), 0) << option;
    }
    EXPECT_NE(usageText().find("--repeater ADDRESS"), std::string::npos);
}

} // namespace
} // namespace tavrel

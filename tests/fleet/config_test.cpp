// The collector's settings file: a full example read back, defaults, and each kind of mistake reported with
// its file and line.
#include "fleet/collector_config.h"

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/session/temp_dir.h"

namespace tavrel {
namespace {

class ConfigTest : public ::testing::Test {
protected:
    std::string write(const std::string& text) {
        const std::string path = (m_dir.logDir() / "collector.ini").string();
        std::ofstream(path) << text;
        return path;
    }
    ConfigResult load(const std::string& text, ConfigEnvironment environment = {"", "", "/home/op"}) {
        return loadCollectorConfig(write(text), environment);
    }
    test::TempExeDir m_dir;
};

TEST_F(ConfigTest, ReadsTheCollectorAndEveryRepeaterInOrder) {
    const ConfigResult result = load("; a fleet\n"
                                     "[collector]\n"
                                     "local_address=10.0.0.2      ; where the repeaters send their logs\n"
                                     "log_port=44400\n"
                                     "air_port = 45400\n"
                                     "metrics_listen=127.0.0.5:9500\n"
                                     "state_dir=/var/lib/tavrel   ; default: $STATE_DIRECTORY\n"
                                     "keep_days=7\n"
                                     "max_state_mb=500\n"
                                     "keep_files_open=off\n"
                                     "\n"
                                     "[north-hill]\n"
                                     "address=10.0.1.5\n"
                                     "air_log=on\n"
                                     "[South_2]\n"
                                     "address=10.0.1.6\n");
    ASSERT_TRUE(result.config) << result.error;
    const CollectorConfig& config = *result.config;
    EXPECT_EQ(config.localAddress, "10.0.0.2");
    EXPECT_EQ(config.logPort, 44400);
    EXPECT_EQ(config.airPort, 45400);
    EXPECT_EQ(config.metricsAddress, "127.0.0.5");
    EXPECT_EQ(config.metricsPort, 9500);
    EXPECT_EQ(config.stateDir, "/var/lib/tavrel");
    EXPECT_EQ(config.keepDays, 7);
    EXPECT_EQ(config.maxStateMb, 500u);
    EXPECT_FALSE(config.keepFilesOpen);
    ASSERT_EQ(config.repeaters.size(), 2u);
    EXPECT_EQ(config.repeaters[0], (WatchedRepeaterConfig{"north-hill", "10.0.1.5", true}));
    EXPECT_EQ(config.repeaters[1], (WatchedRepeaterConfig{"South_2", "10.0.1.6", false}));
}

// The relay's keys, the list of networks with its commas (which the settings reader splits) joined again.
TEST_F(ConfigTest, ReadsTheRelayKeys) {
    const ConfigResult result =
        load("[collector]\nlocal_address=10.0.0.2\n"
             "[hill]\naddress=10.0.1.5\nrelay_listen=2400\n"
             "relay_allow=127.0.0.0/8, 10.0.0.0/24\nrelay_max_clients=3\nrelay_commands=off\n"
             "[dale]\naddress=10.0.1.6\nrelay_listen=10.0.0.2:2401\n");
    ASSERT_TRUE(result.config) << result.error;
    const WatchedRepeaterConfig& hill = result.config->repeaters[0];
    EXPECT_EQ(hill.relayListen, (HostPort{"127.0.0.1", 2400}));
    EXPECT_EQ(hill.relayAllow, *parseCidrList("127.0.0.0/8,10.0.0.0/24"));
    EXPECT_EQ(hill.relayMaxClients, 3u);
    EXPECT_FALSE(hill.relayCommands);
    const WatchedRepeaterConfig& dale = result.config->repeaters[1];
    EXPECT_EQ(dale.relayListen, (HostPort{"10.0.0.2", 2401}));
    EXPECT_EQ(dale.relayAllow, loopbackOnly());
    EXPECT_EQ(dale.relayMaxClients, kDefaultRelayMaxClients);
    EXPECT_TRUE(dale.relayCommands);
    EXPECT_FALSE(result.config->repeaters.size() != 2);
}

TEST_F(ConfigTest, DefaultsForPortsMetricsAndStateDirectory) {
    const std::string text = "[collector]\nlocal_address=127.0.0.1\n";
    struct Case {
        ConfigEnvironment environment;
        std::string stateDir;
    };
    const Case cases[] = {
        {{"/var/lib/tavrel:/var/lib/other", "/x", "/home/op"},
         "/var/lib/tavrel"}, // systemd's StateDirectory=
        {{"", "/home/op/.state", "/home/op"}, "/home/op/.state/tavrel-collector"},
        {{"", "", "/home/op"}, "/home/op/.local/state/tavrel-collector"},
    };
    for (const Case& c : cases) {
        const ConfigResult result = load(text, c.environment);
        ASSERT_TRUE(result.config) << result.error;
        EXPECT_EQ(result.config->stateDir, c.stateDir);
        EXPECT_EQ(result.config->logPort, 44320);
        EXPECT_EQ(result.config->airPort, 45320);
        EXPECT_EQ(result.config->metricsAddress, "127.0.0.1");
        EXPECT_EQ(result.config->metricsPort, 9479);
        EXPECT_EQ(result.config->keepDays, 90);
        EXPECT_EQ(result.config->maxStateMb, 0u);
        EXPECT_TRUE(result.config->keepFilesOpen);
        EXPECT_TRUE(result.config->repeaters.empty());
    }
}

TEST_F(ConfigTest, EachMistakeNamesFileLineAndWhat) {
    const std::string head = "[collector]\nlocal_address=127.0.0.1\n"; // lines 1-2
    struct Case {
        std::string text;
        std::string expected; // after "<path>:"
    };
    const Case cases[] = {
        {head + "log_prot=1\n", "3: unknown key 'log_prot' in [collector]"},
        {head + "[a]\naddress=10.0.1.5\ncolour=red\n",
         "5: unknown key 'colour' in [a] (known: address, air_log, relay_listen, relay_allow, "
         "relay_max_clients, "
         "relay_commands)"},
        {head + "[a]\naddress=10.0.1.5\nrelay_listen=10.0.0.1\n",
         "5: relay_listen '10.0.0.1' is not ADDRESS:PORT or PORT"},
        {head + "[a]\naddress=10.0.1.5\nrelay_allow=10.0.0.0/8,10.1.0.0/40\n",
         "5: relay_allow '10.0.0.0/8,10.1.0.0/40' is not a list of IPv4 networks"},
        {head + "[a]\naddress=10.0.1.5\nrelay_max_clients=0\n",
         "5: relay_max_clients '0' is not a whole number from 1 to 1024"},
        {head +
             "[a]\naddress=10.0.1.5\nrelay_listen=2400\n[b]\naddress=10.0.1.6\nrelay_listen=127.0.0.1:2400\n",
         "8: relay_listen 127.0.0.1:2400 is already [a]'s"},
        {head + "[a]\naddress=10.0.1.5\nrelay_commands=maybe\n",
         "5: relay_commands 'maybe' is neither on nor off"},
        {head + "[a]\naddress=10.0.1.256\n", "4: address '10.0.1.256' is not an IPv4 address"},
        {head + "[a]\naddress=10.0.1.5\n[b]\naddress=10.0.1.5\n",
         "6: address 10.0.1.5 is already [a]'s (line 4)"},
        {head + "log_port=65536\n", "3: log_port '65536' is out of range: a port is 1 to 65535"},
        {head + "air_port=0\n", "3: air_port '0' is out of range"},
        {head + "keep_days=0\n", "3: keep_days '0' is not a whole number from 1 to 36500"},
        {head + "max_state_mb=-5\n", "3: max_state_mb '-5' is not a whole number"},
        {head + "log_port=5000\nair_port=5000\n", "4: air_port and log_port are both 5000"},
        {head + "metrics_listen=localhost:9479\n", "3: metrics_listen 'localhost:9479' is not ADDRESS:PORT"},
        {head + "[north hill]\naddress=10.0.1.5\n", "3: repeater name [north hill] may hold only letters"},
        {head + "[a]\nair_log=on\n", "3: [a] has no address"},
        {head + "[a]\naddress=10.0.1.5\nair_log=yes please\n",
         "5: air_log 'yes please' is neither on nor off"},
        {head + "[a]\naddress=10.0.1.5\n[a]\naddress=10.0.1.6\n", "5: [a] appears twice (first on line 3)"},
        {"[collector]\nlog_port=1\n", "1: [collector] needs local_address"},
        {"[collector]\nlocal_address=10.0.0.999\n", "2: local_address '10.0.0.999' is not an IPv4 address"},
        {head + "just words\n", "3: expected key=value or [section]"},
        {"address=10.0.1.5\n", "1: key=value before the first [section]"},
        {"[a]\naddress=10.0.1.5\n", ": has no [collector] section"},
    };
    for (const Case& c : cases) {
        const ConfigResult result = load(c.text);
        EXPECT_FALSE(result.config) << c.text;
        const std::string path = (m_dir.logDir() / "collector.ini").string();
        EXPECT_EQ(result.error.rfind(path + (c.expected.front() == ':' ? "" : ":"), 0), 0u) << result.error;
        EXPECT_NE(result.error.find(c.expected), std::string::npos) << "got: " << result.error;
    }
}

// The line reader's odd cases, each seen through state_dir (a value that may hold anything) or a mistake.
TEST_F(ConfigTest, ValuesKeepCommasAndFollowTheCommentAndQuotingRules) {
    struct Case {
        std::string line;     // on line 3, after [collector] and local_address
        std::string stateDir; // expected, or "" when a mistake is expected
        std::string mistake;  // expected after "<path>:"
    };
    const Case cases[] = {
        {"state_dir=/srv/tavrel,old", "/srv/tavrel,old", {}},
        {"state_dir = /srv/a b  ", "/srv/a b", {}},
        {"state_dir\t=\t/srv/x", "/srv/x", {}},
        {"state_dir=/srv/x ; where files go", "/srv/x", {}},
        {"state_dir=/srv/x\t# where files go", "/srv/x", {}},
        {"state_dir=/srv/x;y#z", "/srv/x;y#z", {}},
        {"state_dir=\" /srv/x ; #y \"  ; comment", " /srv/x ; #y ", {}},
        {"state_dir=\"/srv/x\"\r", "/srv/x", {}},
        {"state_dir=\"/srv/x", {}, "3: the value's opening quote has no closing quote"},
        {"state_dir=\"/srv/x\" y", {}, "3: only a comment may follow a quoted value"},
        {"state_dir=", {}, "3: state_dir is empty: it needs a value"},
        {"state_dir= ; nothing", {}, "3: state_dir is empty"},
        {"state_dir=\"\"", {}, "3: state_dir is empty"},
        {"local_address=127.0.0.2",
         {},
         "3: key 'local_address' is repeated in [collector] (first on line 2)"},
        {"keep_days=", {}, "3: keep_days '' is not a whole number from 1 to 36500"},
        {"=/srv/x", {}, "3: a key=value line without a key"},
        {"# state_dir=/srv/x\n;log_port=1", "/home/op/.local/state/tavrel-collector", {}},
    };
    for (const Case& c : cases) {
        const ConfigResult result = load("[collector]\nlocal_address=127.0.0.1\n" + c.line + "\n");
        if (c.mistake.empty()) {
            ASSERT_TRUE(result.config) << c.line << ": " << result.error;
            EXPECT_EQ(result.config->stateDir, c.stateDir) << c.line;
        } else {
            EXPECT_FALSE(result.config) << c.line;
            EXPECT_NE(result.error.find(c.mistake), std::string::npos) << c.line << " got: " << result.error;
        }
    }
}

TEST_F(ConfigTest, AMissingFileSaysSo) {
    const ConfigResult result = loadCollectorConfig("/nonexistent/collector.ini", {});
    EXPECT_FALSE(result.config);
    EXPECT_EQ(result.error, "/nonexistent/collector.ini: cannot be read");
}

} // namespace
} // namespace tavrel

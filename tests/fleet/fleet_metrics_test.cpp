// The metrics text a scrape gets: every series with its labels and value, alarm states only while known,
// removed repeaters gone.
#include "fleet/fleet_metrics.h"

#include <unistd.h>

#include "fleet/process_metrics.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace tavrel {
namespace {

bool hasLine(const std::string& text, const std::string& line) {
    return text.find("\n" + line + "\n") != std::string::npos;
}

TEST(FleetMetrics, ExposesEveryRepeatersValuesWithTheirLabels) {
    FleetMetrics metrics("1.2.3.4");
    auto north = std::make_shared<RepeaterMetrics>("north-hill");
    auto south = std::make_shared<RepeaterMetrics>("south");
    metrics.add(north);
    metrics.add(south);
    north->up = true;
    north->alarmsKnown = true;
    north->alarmActive[2] = true; // Rx PLL
    north->alarmRaised[2] = 3;
    north->alarmLastChangeMs[2] = 1'700'000'000'500;
    north->logLines = 42;
    north->airRecords = 7;
    north->connects = 2;
    north->disconnects = 1;
    north->runFileWritable[1] = false; // downlink
    north->relayed = true;
    north->relayClients = 2;
    north->relayCommandsSent = 5;
    north->relayCommandsRefused = 1;
    north->relayRefusedConnections = 3;
    metrics.countUnknownSender();
    metrics.countUnknownSender();

    const std::string text = exposition(metrics.Collect());
    for (const std::string line : {
             "tavrel_repeater_up{repeater=\"north-hill\"} 1",
             "tavrel_repeater_up{repeater=\"south\"} 0",
             "tavrel_alarm_active{alarm=\"vswr\",repeater=\"north-hill\"} 0",
             "tavrel_alarm_active{alarm=\"temperature\",repeater=\"north-hill\"} 0",
             "tavrel_alarm_active{alarm=\"rx_pll\",repeater=\"north-hill\"} 1",
             "tavrel_alarm_active{alarm=\"tx_pll\",repeater=\"north-hill\"} 0",
             "tavrel_alarm_active{alarm=\"dc_voltage\",repeater=\"north-hill\"} 0",
             "tavrel_alarm_raised_total{alarm=\"rx_pll\",repeater=\"north-hill\"} 3",
             "tavrel_alarm_raised_total{alarm=\"vswr\",repeater=\"south\"} 0",
             "tavrel_alarm_last_change_timestamp_seconds{alarm=\"rx_pll\",repeater=\"north-hill\"} "
             "1700000000.5",
             "tavrel_log_lines_received_total{repeater=\"north-hill\"} 42",
             "tavrel_airlog_records_received_total{repeater=\"north-hill\"} 7",
             "tavrel_connects_total{repeater=\"north-hill\"} 2",
             "tavrel_disconnects_total{repeater=\"north-hill\"} 1",
             "tavrel_relay_clients{repeater=\"north-hill\"} 2",
             "tavrel_relay_commands_total{repeater=\"north-hill\",result=\"sent\"} 5",
             "tavrel_relay_commands_total{repeater=\"north-hill\",result=\"refused\"} 1",
             "tavrel_relay_refused_connections_total{repeater=\"north-hill\"} 3",
             "tavrel_unknown_sender_datagrams_total 2",
             "tavrel_build_info{version=\"1.2.3.4\"} 1",
             "tavrel_collector_build_info{version=\"1.2.3.4\"} 1",
             "tavrel_run_file_writable{file=\"run_log\",repeater=\"north-hill\"} 1",
             "tavrel_run_file_writable{file=\"downlink\",repeater=\"north-hill\"} 0",
             "tavrel_run_file_writable{file=\"uplink\",repeater=\"south\"} 1",
             "# TYPE tavrel_alarm_raised_total counter",
             "# TYPE tavrel_repeater_up gauge",
         })
        EXPECT_TRUE(hasLine(text, line)) << line << "\nnot in:\n" << text;
    // South has had no report: its alarm states are unknown, not "off", and nothing ever changed.
    EXPECT_EQ(text.find("tavrel_alarm_active{alarm=\"vswr\",repeater=\"south\"}"), std::string::npos);
    EXPECT_EQ(text.find("tavrel_alarm_last_change_timestamp_seconds{alarm=\"vswr\""), std::string::npos);
    EXPECT_EQ(text.find("tavrel_relay_clients{repeater=\"south\"}"), std::string::npos)
        << "south has no relay";

    metrics.remove(*north);
    const std::string after = exposition(metrics.Collect());
    EXPECT_EQ(after.find("north-hill"), std::string::npos);
    EXPECT_TRUE(hasLine(after, "tavrel_repeater_up{repeater=\"south\"} 0"));
    EXPECT_EQ(after.find("tavrel_relay_"), std::string::npos) << "no relay, no relay families";
}

// A failed reload reads 0 and keeps the time of the last success; the next success sets both.
TEST(FleetMetrics, TellsTheLastReloadAndTheProcess) {
    FleetMetrics metrics("1");
    const std::string ok = "tavrel_collector_config_last_reload_successful 1";
    const std::string failed = "tavrel_collector_config_last_reload_successful 0";
    const std::string at = "tavrel_collector_config_last_reload_success_timestamp_seconds ";
    metrics.settingsRead(true, 1700000000);
    metrics.settingsRead(false, 1700000100);
    std::string text = exposition(metrics.Collect());
    EXPECT_TRUE(hasLine(text, failed)) << text;
    EXPECT_TRUE(hasLine(text, at + "1700000000")) << text;
    metrics.settingsRead(true, 1700000200);
    text = exposition(metrics.Collect());
    EXPECT_TRUE(hasLine(text, ok) && hasLine(text, at + "1700000200")) << text;
    for (const std::string name : {"process_cpu_seconds_total ", "process_resident_memory_bytes ",
                                   "process_open_fds ", "process_max_fds ", "process_start_time_seconds "})
        EXPECT_NE(text.find("\n" + name), std::string::npos) << name;
    const double started = std::stod(text.substr(text.find("\nprocess_start_time_seconds ") + 28));
    EXPECT_NEAR(started, static_cast<double>(std::time(nullptr)), 3600.0); // this test process started lately
}

TEST(FleetMetrics, ReadsProcStatLikeTheGoClient) {
    // pid (comm) state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime cutime
    // cstime priority nice threads itrealvalue starttime vsize rss
    const std::string tail = " S 1 2 3 4 5 6 7 8 9 10 250 150 0 0 20 0 1 0 5000 104857600 2560 0 0";
    const auto stats = parseProcessStat("42 (tav rel) x)" + tail, 100, 4096, 1'700'000'000);
    ASSERT_TRUE(stats);
    EXPECT_DOUBLE_EQ(stats->cpuSeconds, 4.0);
    EXPECT_DOUBLE_EQ(stats->startTimeSeconds, 1'700'000'050.0);
    EXPECT_EQ(stats->residentBytes, 2560u * 4096);
    EXPECT_EQ(stats->virtualBytes, 104857600u);
    for (const std::string& bad : {"42 tavrel" + tail, std::string("42 (tavrel) S 1 2"),
                                   std::string("42 (t) S 1 2 3 4 5 6 7 8 9 10 x 150")})
        EXPECT_FALSE(parseProcessStat(bad, 100, 4096, 0)) << bad;
}

} // namespace
} // namespace tavrel

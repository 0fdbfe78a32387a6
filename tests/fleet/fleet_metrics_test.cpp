// The metrics text a scrape gets: every series with its labels and value, alarm states only while known,
// removed repeaters gone.
#include "fleet/fleet_metrics.h"

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
             "# TYPE tavrel_alarm_raised_total counter",
             "# TYPE tavrel_repeater_up gauge",
         })
        EXPECT_TRUE(hasLine(text, line)) << line << "\nnot in:\n" << text;
    // South has had no report: its alarm states are unknown, not "off", and nothing ever changed.
    EXPECT_EQ(text.find("tavrel_alarm_active{alarm=\"vswr\",repeater=\"south\"}"), std::string::npos);
    EXPECT_EQ(text.find("tavrel_alarm_last_change_timestamp_seconds{alarm=\"vswr\""), std::string::npos);
    EXPECT_EQ(text.find("tavrel_relay_clients{repeater=\"south\"}"), std::string::npos) << "south has no relay";

    metrics.remove(*north);
    const std::string after = exposition(metrics.Collect());
    EXPECT_EQ(after.find("north-hill"), std::string::npos);
    EXPECT_TRUE(hasLine(after, "tavrel_repeater_up{repeater=\"south\"} 0"));
    EXPECT_EQ(after.find("tavrel_relay_"), std::string::npos) << "no relay, no relay families";
}

} // namespace
} // namespace tavrel

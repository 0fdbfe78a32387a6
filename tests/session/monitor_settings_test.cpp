// The "Continue" checks in order, with their messages, and the conversions they use.
#include <gtest/gtest.h>

#include "session/monitor_settings.h"

namespace tavrel {
namespace {

SetupFields validFields() {
    return SetupFields{"127.0.1.20", "44320", "45320", {127, 0, 1, 21}};
}

TEST(PortField, ReadsTheFirstFiveCharactersUpToTheFirstNonDigit) {
    EXPECT_EQ(portFieldValue("44320"), 44320);
    EXPECT_EQ(portFieldValue(""), 0);
    EXPECT_EQ(portFieldValue("0"), 0);
    EXPECT_EQ(portFieldValue("123456"), 12345);
    EXPECT_EQ(portFieldValue("99999"), 99999);
    EXPECT_EQ(portFieldValue("443x0"), 443);
    EXPECT_EQ(portFieldValue("x4432"), 0);
    EXPECT_EQ(portFieldValue("00080"), 80);
}

TEST(Ipv4Text, FormatsAndParsesDottedAddresses) {
    EXPECT_EQ(formatIpv4({10, 0, 0, 1}), "10.0.0.1");
    EXPECT_EQ(formatIpv4({255, 255, 255, 255}), "255.255.255.255");
    EXPECT_EQ(parseIpv4("192.168.1.20"), (Ipv4Octets{192, 168, 1, 20}));
    EXPECT_EQ(parseIpv4("0.0.0.0"), (Ipv4Octets{0, 0, 0, 0}));
    for (const char* bad :
         {"", "1.2.3", "1.2.3.4.", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.x", "1234.1.1.1", " 1.2.3.4"})
        EXPECT_FALSE(parseIpv4(bad)) << bad;
}

TEST(ContinueChecks, RefusesPortsOfZeroAndAboveTheHighestPort) {
    for (const char* port : {"0", "", "00000", "65536", "70000", "99999", "abc"}) {
        SetupFields monitor = validFields();
        monitor.monitorRxPortText = port;
        MonitorSettings settings;
        EXPECT_EQ(applySetupFields(monitor, settings), "Invalid monitor rx port") << port;

        SetupFields airLog = validFields();
        airLog.airLogRxPortText = port;
        EXPECT_EQ(applySetupFields(airLog, settings), "Invalid air log rx port") << port;
    }
    for (const char* port : {"1", "65535", "655350"}) { // the last reads as 65535
        SetupFields fields = validFields();
        fields.monitorRxPortText = port;
        fields.airLogRxPortText = port;
        MonitorSettings settings;
        EXPECT_FALSE(applySetupFields(fields, settings)) << port;
    }
}

TEST(ContinueChecks, ReportsOnlyTheFirstFailureInOrder) {
    SetupFields fields{"", "0", "0", {0, 0, 0, 0}};
    MonitorSettings settings;
    EXPECT_EQ(applySetupFields(fields, settings), "No local IPv4 address to receive the logs on");
    fields.localAddress = "127.0.1.20";
    EXPECT_EQ(applySetupFields(fields, settings), "Invalid monitor rx port");
    fields.monitorRxPortText = "44320";
    EXPECT_EQ(applySetupFields(fields, settings), "Invalid air log rx port");
    fields.airLogRxPortText = "45320";
    EXPECT_EQ(applySetupFields(fields, settings), "Invalid repeater address");
    fields.repeaterOctets = {127, 0, 1, 20};
    EXPECT_EQ(applySetupFields(fields, settings), "Same address with the repeater?!");
}

TEST(ContinueChecks, KeepsTheValuesOfEarlierStepsWhenALaterCheckFails) {
    MonitorSettings settings;
    SetupFields fields = validFields();
    fields.airLogRxPortText = "0";
    ASSERT_TRUE(applySetupFields(fields, settings));
    EXPECT_EQ(settings.localAddress, "127.0.1.20");
    EXPECT_EQ(settings.monitorRxPort, 44320);
    EXPECT_EQ(settings.airLogRxPort, 0);
    EXPECT_EQ(settings.repeaterAddress, "");

    // The repeater address is stored before the same-address check refuses it.
    fields = validFields();
    fields.repeaterOctets = {127, 0, 1, 20};
    ASSERT_TRUE(applySetupFields(fields, settings));
    EXPECT_EQ(settings.airLogRxPort, 45320);
    EXPECT_EQ(settings.repeaterAddress, "127.0.1.20");
}

} // namespace
} // namespace tavrel

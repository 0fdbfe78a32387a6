// Report texts of the state queries, one datagram each with line breaks between the lines.
#include "emulator/repeater_reports.h"

#include <array>
#include <string_view>

#include "emulator/repeater_model.h"
#include "emulator/text_format.h"

namespace tavrel::emulator {
namespace {

struct AlarmName {
    int bit;
    std::string_view label;
};

constexpr std::array kAlarmNames{AlarmName{kAlarmVswr, "V-SWR"}, AlarmName{kAlarmTemperature, "Temper"},
                                 AlarmName{kAlarmRxPll, "Rx PLL"}, AlarmName{kAlarmTxPll, "Tx PLL"},
                                 AlarmName{kAlarmDcVolt, "DC Volt"}};

std::string pllText(const PllState& pll) {
    return textf("%s MHz, %s", megahertz(pll.frequencyHz).c_str(), pll.locked ? "locked" : "UNLOCKED");
}

std::string destinationText(const std::optional<Endpoint>& destination) {
    return destination ? destination->text() : std::string("none");
}

} // namespace

std::string softwareVersionReport() {
    return "SW VERSION\n"
           "  product : DMR repeater emulator (tavrel-repeater)\n"
           "  ARM     : V2.31.07 built 2024-03-18 10:42\n"
           "  DSP     : V1.18.02 built 2024-02-27 16:05\n"
           "  FPGA    : 0x0105\n"
           "  boot    : V1.02\n"
           "  hardware: UHF 400-480 MHz, rev C";
}

std::string armStateReport(RepeaterModel& model, std::chrono::seconds uptime) {
    const Readings now = model.readings();
    std::string text = "ARM STATE\n";
    text += textf("  uptime      : %lld s\n", static_cast<long long>(uptime.count()));
    text += textf("  channel     : %d\n", model.channel());
    text += "  Tx PLL      : " + pllText(model.txPll()) + "\n";
    text += "  Rx PLL      : " + pllText(model.rxPll()) + "\n";
    text += "  12.8M VCO   : locked\n";
    text += "  AD9864      : initialised\n";
    text += textf("  PA          : %s, forward %.1f W, VSWR %.2f\n", model.paOn() ? "on" : "off",
                  now.forwardWatts, now.vswr);
    text += textf("  temperature : %.1f C\n", now.temperatureC);
    text += textf("  DC supply   : %.1f V\n", now.supplyVolts);
    text += "  log dest    : " + destinationText(model.logDestination()) + "\n";
    text += "  air log dest: " + destinationText(model.airDestination());
    return text;
}

std::string dspStateReport(RepeaterModel& model) {
    std::string text = "DSP STATE\n";
    text += textf("  receiver    : running, %d resets since boot\n", model.dspResets());
    text += "  colour code : 1\n";
    text += "  TS1         : idle, rssi -121 dBm\n";
    text += "  TS2         : idle, rssi -123 dBm\n";
    text += textf("  DSP log     : %s\n", model.dspLog() ? "on" : "off");
    text += textf("  DSPLink log : %s\n", model.dspLinkLog() ? "on" : "off");
    text += textf("  link frames : %u", model.dspLinkFrames());
    return text;
}

std::string alarmStateReport(int alarmBits) {
    std::string text = textf("ALARM STATE 0x%02X", alarmBits);
    for (const auto& alarm : kAlarmNames)
        text += textf("\n  %-7.*s : %s", int(alarm.label.size()), alarm.label.data(),
                      alarmBits & alarm.bit ? "ALARM" : "normal");
    return text;
}

std::string channelListReport(int currentChannel) {
    std::string text = "CHANNEL LIST";
    for (int channel = 0; channel < kChannelCount; ++channel)
        text += textf("\n  %c CH%02d  Tx %s MHz  Rx %s MHz", channel == currentChannel ? '*' : ' ', channel,
                      megahertz(channelTxHz(channel)).c_str(), megahertz(channelRxHz(channel)).c_str());
    return text;
}

} // namespace tavrel::emulator

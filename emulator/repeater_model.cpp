// What each O&M command does to the emulated repeater, and its periodic log lines.
#include "emulator/repeater_model.h"

#include "emulator/repeater_reports.h"
#include "emulator/text_format.h"

namespace tavrel::emulator {
namespace {

// A 70 cm repeater: 12.5 kHz channel raster, receive 7.6 MHz below transmit.
constexpr std::int32_t kChannel0TxHz = 439'100'000;
constexpr std::int32_t kDuplexShiftHz = 7'600'000;
constexpr std::int32_t kChannelStepHz = 12'500;
constexpr int kPllOperationCount = 4;
constexpr const char* kPllOperations[kPllOperationCount] = {"set normally", "power only", "VCO only",
                                                            "power & VCO"};

bool inPllBand(std::int32_t hertz) {
    return hertz >= kPllLowestHz && hertz <= kPllHighestHz;
}

} // namespace

std::int32_t channelTxHz(int channel) {
    return kChannel0TxHz + channel * kChannelStepHz;
}

std::int32_t channelRxHz(int channel) {
    return channelTxHz(channel) - kDuplexShiftHz;
}

std::uint16_t destinationPort(std::int32_t port) {
    return static_cast<std::uint16_t>(port & 0xFFFF);
}

RepeaterModel::RepeaterModel(std::uint32_t seed) : m_random(seed) {
    reboot();
}

int RepeaterModel::randomIn(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

void RepeaterModel::reboot() {
    m_rxPll = PllState{channelRxHz(m_channel), true};
    m_txPll = PllState{channelTxHz(m_channel), true};
    m_paOn = true;
    m_dspLog = false;
    m_dspLinkLog = false;
    m_dspResets = 0;
    m_dspLinkFrames = 0;
    m_logDestination.reset();
    m_airDestination.reset();
}

int RepeaterModel::alarmBits() const noexcept {
    return m_externalAlarmBits | (m_rxPll.locked ? 0 : kAlarmRxPll) | (m_txPll.locked ? 0 : kAlarmTxPll);
}

std::string RepeaterModel::setPll(PllState& pll, std::string_view name, const Command& command) {
    const int operation = command.number;
    if (operation < 0 || operation >= kPllOperationCount)
        return textf("%.*s PLL: operation %d rejected, valid 0-3", int(name.size()), name.data(), operation);
    if (operation == 0) {
        if (command.frequency <= 0)
            return textf("%.*s PLL: frequency %d Hz rejected", int(name.size()), name.data(),
                         command.frequency);
        pll.frequencyHz = command.frequency;
    }
    pll.locked = inPllBand(pll.frequencyHz);
    return textf("%.*s PLL: %s, %d Hz, %s", int(name.size()), name.data(), kPllOperations[operation],
                 pll.frequencyHz, pll.locked ? "locked" : "UNLOCKED (outside 400-480 MHz)");
}

std::string RepeaterModel::setDestination(std::optional<Endpoint>& destination, std::string_view name,
                                          const Command& command) {
    const std::uint16_t port = destinationPort(command.number);
    if (port == 0) {
        destination.reset();
        return textf("%.*s: destination %s:%d rejected, port 0", int(name.size()), name.data(),
                     command.address.c_str(), command.number);
    }
    destination = Endpoint{command.address, port};
    return textf("%.*s: on, destination %s", int(name.size()), name.data(), destination->text().c_str());
}

std::string RepeaterModel::apply(const Command& command, std::string_view receivedText,
                                 std::chrono::seconds uptime) {
    switch (command.kind) {
    case CommandKind::Heartbeat:
        return "OAM: heartbeat";
    case CommandKind::SetLogDestination:
        return setDestination(m_logDestination, "LOG", command);
    case CommandKind::SwitchChannel:
        if (command.number < 0 || command.number >= kChannelCount)
            return textf("CHANNEL: channel %d rejected, valid 0-15", command.number);
        m_channel = command.number;
        m_rxPll = PllState{channelRxHz(m_channel), true};
        m_txPll = PllState{channelTxHz(m_channel), true};
        return textf("CHANNEL: switched to channel %d, Tx %s MHz, Rx %s MHz", m_channel,
                     megahertz(m_txPll.frequencyHz).c_str(), megahertz(m_rxPll.frequencyHz).c_str());
    case CommandKind::SetRxPll:
        return setPll(m_rxPll, "RX", command);
    case CommandKind::SetTxPll:
        return setPll(m_txPll, "TX", command);
    case CommandKind::PaOn:
        m_paOn = true;
        return textf("PA: on, forward %.1f W", readings().forwardWatts);
    case CommandKind::PaOff:
        m_paOn = false;
        return "PA: off";
    case CommandKind::Reset12p8:
        return textf("ARM: 12.8M VCO reset, locked after %d ms", randomIn(8, 20));
    case CommandKind::InitAd9864:
        return "ARM: AD9864 initialised, IF 109.65 MHz, LO locked, AGC on";
    case CommandKind::ResetBpf:
        return textf("ARM: BPF reset, tuned to %s MHz", megahertz(m_rxPll.frequencyHz).c_str());
    case CommandKind::ResetDspReceiver:
        ++m_dspResets;
        return textf("DSP: receiver reset (%d since boot)", m_dspResets);
    case CommandKind::DspLogOn:
    case CommandKind::DspLogOff:
        m_dspLog = command.kind == CommandKind::DspLogOn;
        return m_dspLog ? "DSP: log on" : "DSP: log off";
    case CommandKind::DspLinkLogOn:
    case CommandKind::DspLinkLogOff:
        m_dspLinkLog = command.kind == CommandKind::DspLinkLogOn;
        return m_dspLinkLog ? "DSPLINK: log on" : "DSPLINK: log off";
    case CommandKind::Reboot:
        return "SYSTEM: reboot requested, restarting";
    case CommandKind::ShowSoftwareVersion:
        return softwareVersionReport();
    case CommandKind::ShowArmState:
        return armStateReport(*this, uptime);
    case CommandKind::ShowDspState:
        return dspStateReport(*this);
    case CommandKind::ShowAlarmState:
        return alarmStateReport(alarmBits());
    case CommandKind::AlarmQuery:
        return textf("OAM: alarm query, state 0x%02X", alarmBits());
    case CommandKind::ListChannels:
        return channelListReport(m_channel);
    case CommandKind::AirLogOn:
        return setDestination(m_airDestination, "AIRLOG", command);
    case CommandKind::AirLogOff:
        m_airDestination.reset();
        return "AIRLOG: off";
    case CommandKind::Unknown:
        break;
    }
    return "OAM: unknown command \"" + escapeText(receivedText) + "\"";
}

Readings RepeaterModel::readings() {
    const int bits = alarmBits();
    Readings readings;
    readings.temperatureC = (bits & kAlarmTemperature ? 78.0 : 41.0) + randomIn(-15, 15) / 10.0;
    readings.vswr = (bits & kAlarmVswr ? 3.4 : 1.15) + randomIn(0, 10) / 100.0;
    readings.supplyVolts = (bits & kAlarmDcVolt ? 10.4 : 13.8) + randomIn(-2, 2) / 10.0;
    readings.forwardWatts = m_paOn ? 25.0 + randomIn(-5, 5) / 10.0 : 0.0;
    return readings;
}

std::string RepeaterModel::statusLine(std::chrono::seconds uptime) {
    const Readings now = readings();
    return textf(
        "ALIVE uptime=%llds ch=%d pa=%s alarm=0x%02X temp=%.1fC vswr=%.2f dc=%.1fV rxpll=%s txpll=%s",
        static_cast<long long>(uptime.count()), m_channel, m_paOn ? "on" : "off", alarmBits(),
        now.temperatureC, now.vswr, now.supplyVolts, m_rxPll.locked ? "lock" : "UNLOCK",
        m_txPll.locked ? "lock" : "UNLOCK");
}

std::string RepeaterModel::dspLogLine() {
    const bool busy = randomIn(0, 2) == 0;
    return textf("DSP: ts1 %s rssi=-%ddBm ber=%.1f%% cc=1 | ts2 idle rssi=-%ddBm", busy ? "voice" : "idle",
                 busy ? randomIn(70, 105) : randomIn(118, 126), busy ? randomIn(0, 30) / 10.0 : 0.0,
                 randomIn(118, 126));
}

std::string RepeaterModel::dspLinkLogLine() {
    // Two timeslots at one burst per 60 ms each, both ways across the ARM-DSP link.
    m_dspLinkFrames += 33;
    return textf("DSPLINK: tx=%u rx=%u crcerr=0 fifo=%d/64", m_dspLinkFrames,
                 m_dspLinkFrames - static_cast<std::uint32_t>(randomIn(0, 2)), randomIn(0, 4));
}

} // namespace tavrel::emulator

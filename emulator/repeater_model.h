// The emulated repeater's radio state and what each O&M command does to it, as plain data and text.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "emulator/command_table.h"

namespace tavrel::emulator {

inline constexpr int kAlarmVswr = 0x01;
inline constexpr int kAlarmTemperature = 0x02;
inline constexpr int kAlarmRxPll = 0x04;
inline constexpr int kAlarmTxPll = 0x08;
inline constexpr int kAlarmDcVolt = 0x10;

inline constexpr int kChannelCount = 16;
// The synthesisers lock only inside this band; a setting outside it raises the PLL alarm.
inline constexpr std::int32_t kPllLowestHz = 400'000'000;
inline constexpr std::int32_t kPllHighestHz = 480'000'000;

std::int32_t channelTxHz(int channel);
std::int32_t channelRxHz(int channel);

struct Endpoint {
    std::string address;
    std::uint16_t port = 0;
    std::string text() const { return address + ":" + std::to_string(port); }
};

// The port a destination command names, as the repeater uses it: its low 16 bits.
std::uint16_t destinationPort(std::int32_t port);

struct PllState {
    std::int32_t frequencyHz = 0;
    bool locked = true;
};

// Readings that drift a little from report to report and follow the alarm bits.
struct Readings {
    double temperatureC = 0;
    double vswr = 0;
    double supplyVolts = 0;
    double forwardWatts = 0;
};

class RepeaterModel {
public:
    explicit RepeaterModel(std::uint32_t seed = 2301);

    // Applies one command and returns the log text the repeater writes for it (several lines for the
    // state queries). Destinations, switches and radio settings change as the command says.
    std::string apply(const Command& command, std::string_view receivedText, std::chrono::seconds uptime);

    // Back to the power-up state: destinations forgotten, logs off, PLLs on the current channel.
    void reboot();

    // Bits set from outside (options, script, operator); the reported state adds the PLL lock alarms.
    void setExternalAlarmBits(int bits) noexcept { m_externalAlarmBits = bits; }
    int externalAlarmBits() const noexcept { return m_externalAlarmBits; }
    int alarmBits() const noexcept;

    std::string statusLine(std::chrono::seconds uptime);
    std::string dspLogLine();
    std::string dspLinkLogLine();
    Readings readings();

    int channel() const noexcept { return m_channel; }
    bool paOn() const noexcept { return m_paOn; }
    const PllState& rxPll() const noexcept { return m_rxPll; }
    const PllState& txPll() const noexcept { return m_txPll; }
    bool dspLog() const noexcept { return m_dspLog; }
    bool dspLinkLog() const noexcept { return m_dspLinkLog; }
    int dspResets() const noexcept { return m_dspResets; }
    const std::optional<Endpoint>& logDestination() const noexcept { return m_logDestination; }
    const std::optional<Endpoint>& airDestination() const noexcept { return m_airDestination; }
    std::uint32_t dspLinkFrames() const noexcept { return m_dspLinkFrames; }

private:
    std::string setPll(PllState& pll, std::string_view name, const Command& command);
    std::string setDestination(std::optional<Endpoint>& destination, std::string_view name,
                               const Command& command);
    int randomIn(int low, int high);

    std::mt19937 m_random;
    int m_externalAlarmBits = 0;
    int m_channel = 0;
    bool m_paOn = true;
    PllState m_rxPll;
    PllState m_txPll;
    bool m_dspLog = false;
    bool m_dspLinkLog = false;
    int m_dspResets = 0;
    std::uint32_t m_dspLinkFrames = 0;
    std::optional<Endpoint> m_logDestination;
    std::optional<Endpoint> m_airDestination;
};

} // namespace tavrel::emulator

// The five alarm lamps' state: which picture each shows, driven by reports, connection changes and ticks.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "protocol/alarm_report.h"

namespace tavrel {

// The pictures a lamp can show (icon resources 135, 134, 132, 133).
enum class LampIcon { Off, Normal, AlarmA, AlarmB };

struct LampDefinition {
    std::int32_t alarmBit;
    std::string_view label;
};

inline constexpr int kLampCount = 5;

// Top to bottom in the window's right-hand column.
inline constexpr std::array<LampDefinition, kLampCount> kLamps{{
    {kAlarmVswr, "V-SWR"},
    {kAlarmTemperature, "Temper"},
    {kAlarmRxPll, "Rx PLL"},
    {kAlarmTxPll, "Tx PLL"},
    {kAlarmDcVolt, "DC Volt"},
}};

class AlarmLamps {
public:
    LampIcon icon(int lamp) const { return m_icons.at(static_cast<std::size_t>(lamp)); }
    const std::array<LampIcon, kLampCount>& icons() const { return m_icons; }
    std::int32_t alarmBits() const { return m_alarmBits; }
    int blinkPhase() const { return m_blinkPhase; }

    void showAll(LampIcon icon) { m_icons.fill(icon); }
    void setAlarmBits(std::int32_t bits) { m_alarmBits = bits; }

    // Link up: the lamps start from Normal whatever was reported before.
    void onConnected();
    // Link down: every lamp dark; the last report is kept until the next connect.
    void onDisconnected() { showAll(LampIcon::Off); }
    // A report: cleared alarms show Normal at once, set ones wait for the next paint tick.
    void applyReport(std::int32_t bits);
    // The 200 ms paint step: alarmed lamps alternate while polling is automatic, else stay steady red.
    void paintTick(bool autoChecked);

private:
    std::array<LampIcon, kLampCount> m_icons{LampIcon::Off, LampIcon::Off, LampIcon::Off, LampIcon::Off,
                                             LampIcon::Off};
    std::int32_t m_alarmBits = 0;
    int m_blinkPhase = 0;
};

} // namespace tavrel

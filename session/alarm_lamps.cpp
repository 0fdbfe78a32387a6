// Lamp transitions on reports, ticks and connection changes.
#include "session/alarm_lamps.h"

namespace tavrel {

void AlarmLamps::onConnected() {
    m_alarmBits = 0;
    showAll(LampIcon::Normal);
    m_blinkPhase = 1;
}

void AlarmLamps::applyReport(std::int32_t bits) {
    m_alarmBits = bits;
    for (std::size_t i = 0; i < kLamps.size(); ++i)
        if ((bits & kLamps[i].alarmBit) == 0)
            m_icons[i] = LampIcon::Normal;
}

void AlarmLamps::paintTick(bool autoChecked) {
    if (!autoChecked)
        m_blinkPhase = 1;
    for (std::size_t i = 0; i < kLamps.size(); ++i)
        if ((m_alarmBits & kLamps[i].alarmBit) != 0)
            m_icons[i] = m_blinkPhase == 0 ? LampIcon::AlarmA : LampIcon::AlarmB;
    if (m_alarmBits != 0)
        m_blinkPhase = (m_blinkPhase + 1) % 2;
}

} // namespace tavrel

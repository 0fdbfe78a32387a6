// Alarm transitions from successive reports, and their event-log texts.
#include "session/alarm_transitions.h"

#include <algorithm>
#include <cstdio>

namespace tavrel {

std::string formatDuration(std::chrono::seconds duration) {
    const long long total = std::max<long long>(0, duration.count());
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

std::string formatAlarmTransition(const AlarmTransition& transition) {
    std::string line = "ALARM ";
    line += kLamps.at(static_cast<std::size_t>(transition.lamp)).label;
    switch (transition.kind) {
    case AlarmTransition::Kind::Active:
        return line + " active";
    case AlarmTransition::Kind::Raised:
        return line + " raised";
    case AlarmTransition::Kind::Cleared:
        return line + " cleared after " + formatDuration(transition.lasted);
    }
    return line;
}

std::vector<AlarmTransition> AlarmTracker::onReport(std::int32_t bits, WallClock::time_point now) {
    std::vector<AlarmTransition> transitions;
    const bool first = m_firstReport;
    m_firstReport = false;
    for (int i = 0; i < kLampCount; ++i) {
        Lamp& lamp = m_lamps[static_cast<std::size_t>(i)];
        const bool on = (bits & kLamps[static_cast<std::size_t>(i)].alarmBit) != 0;
        if (on && (first || !lamp.active)) {
            if (!lamp.active) { // came on; one found active again after a reconnection keeps its start
                lamp.since = now;
                lamp.changed = now;
                ++lamp.raised;
            }
            transitions.push_back(
                {i, first ? AlarmTransition::Kind::Active : AlarmTransition::Kind::Raised, now});
        } else if (!on && lamp.active) {
            const auto lasted = std::chrono::duration_cast<std::chrono::seconds>(now - lamp.since);
            transitions.push_back({i, AlarmTransition::Kind::Cleared, now, lasted});
            lamp.changed = now;
        }
        lamp.active = on;
    }
    m_known = true;
    return transitions;
}

} // namespace tavrel

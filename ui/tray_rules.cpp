// The tray's picture, tooltip and notification rules.
#include "ui/tray_rules.h"

#include <utility>

namespace tavrel {

TrayPicture trayPicture(bool connected, std::int32_t alarmBits) {
    if (!connected)
        return TrayPicture::Off;
    for (const LampDefinition& lamp : kLamps)
        if ((alarmBits & lamp.alarmBit) != 0)
            return TrayPicture::Alarm;
    return TrayPicture::Normal;
}

std::string trayToolTip(std::string_view repeaterAddress, bool connected, std::int32_t alarmBits) {
    std::string tip = "Tavrel: repeater " + std::string(repeaterAddress) + "\n";
    if (!connected)
        return tip + "Link down";
    std::string alarms;
    for (const LampDefinition& lamp : kLamps)
        if ((alarmBits & lamp.alarmBit) != 0)
            alarms += (alarms.empty() ? "" : ", ") + std::string(lamp.label);
    return tip + (alarms.empty() ? "No alarm" : "Alarms: " + alarms);
}

std::optional<TrayMessage> TrayNotices::ifEnabled(TrayMessage message) const {
    if (!m_enabled)
        return std::nullopt;
    return message;
}

std::optional<TrayMessage> TrayNotices::onAlarmTransition(const AlarmTransition& transition) {
    const auto lamp = static_cast<std::size_t>(transition.lamp);
    bool& on = m_on.at(lamp);
    const bool wasOn = on;
    on = transition.kind != AlarmTransition::Kind::Cleared;
    if (!on || wasOn || !m_enabled)
        return std::nullopt;
    std::optional<WallClock::time_point>& told = m_told[lamp];
    if (told && transition.at - *told < kAlarmNoticeQuiet)
        return std::nullopt;
    told = transition.at;
    return TrayMessage{std::string(kLamps[lamp].label) + " alarm",
                       "Repeater " + m_repeater + ": " + formatAlarmTransition(transition), true};
}

std::optional<TrayMessage> TrayNotices::onConnectionChanged(bool connected, WallClock::time_point now) {
    if (!connected) {
        if (!m_downSince)
            m_downSince = now;
        return std::nullopt;
    }
    m_downSince.reset();
    if (!std::exchange(m_lossTold, false))
        return std::nullopt;
    return ifEnabled({"Link back", "Repeater " + m_repeater + " is connected again", false});
}

std::optional<TrayMessage> TrayNotices::onTick(WallClock::time_point now) {
    // While notices are off the loss is not marked told, so turning them on again while it lasts tells it.
    if (!m_enabled || !m_downSince || m_lossTold || now - *m_downSince < kLinkDownNotice)
        return std::nullopt;
    m_lossTold = true;
    const auto down = std::chrono::duration_cast<std::chrono::seconds>(now - *m_downSince);
    return TrayMessage{"Link down",
                       "Repeater " + m_repeater + " has been unreachable for " + formatDuration(down), true};
}

} // namespace tavrel

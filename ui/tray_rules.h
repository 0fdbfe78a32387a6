// What the desktop tray shows of a session and when it notifies, without Qt: picture, tooltip, messages.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "session/alarm_transitions.h"

namespace tavrel {

// The tray's picture follows the lamps: dark while the link is down, red while any alarm is reported.
enum class TrayPicture { Off, Normal, Alarm };

TrayPicture trayPicture(bool connected, std::int32_t alarmBits);
// "Tavrel: repeater 10.0.1.5" and a second line: "Link down", "No alarm" or "Alarms: Rx PLL, Tx PLL".
std::string trayToolTip(std::string_view repeaterAddress, bool connected, std::int32_t alarmBits);

struct TrayMessage {
    std::string title;
    std::string text;
    bool warning = false; // an alarm or a lost link, rather than good news
    friend bool operator==(const TrayMessage&, const TrayMessage&) = default;
};

// When a desktop notification is due. The window may be behind others or minimised; these are the events
// worth calling the technician back for.
class TrayNotices {
public:
    // A link down for less than this is a blip the reconnection mends unseen.
    static constexpr std::chrono::seconds kLinkDownNotice{10};
    // An alarm that flaps is told once in this while, not at every coming; the history has every one.
    static constexpr std::chrono::seconds kAlarmNoticeQuiet{60};

    explicit TrayNotices(std::string repeaterAddress) : m_repeater(std::move(repeaterAddress)) {}

    // Off: nothing is notified, for the rest of the run or until turned on again.
    void setEnabled(bool on) { m_enabled = on; }
    bool enabled() const { return m_enabled; }

    // An alarm that comes on (raised, or found active when it was not known to be on), unless it was told
    // less than kAlarmNoticeQuiet before.
    std::optional<TrayMessage> onAlarmTransition(const AlarmTransition& transition);
    // The link back, when its loss had been notified.
    std::optional<TrayMessage> onConnectionChanged(bool connected, WallClock::time_point now);
    // The periodic look: the link down for kLinkDownNotice, once per loss.
    std::optional<TrayMessage> onTick(WallClock::time_point now);

private:
    std::optional<TrayMessage> ifEnabled(TrayMessage message) const;

    std::string m_repeater;
    bool m_enabled = true;
    std::array<bool, kLampCount> m_on{};                                   // alarms known to be on
    std::array<std::optional<WallClock::time_point>, kLampCount> m_told{}; // when each alarm was last told
    std::optional<WallClock::time_point> m_downSince;                      // the link is down since
    bool m_lossTold = false; // the present loss has been notified
};

} // namespace tavrel

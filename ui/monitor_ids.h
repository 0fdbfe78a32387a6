// The main window's numeric ids: controls and menu commands, each kind in one place.
#pragma once

namespace tavrel {

// Controls of the main window's template.
namespace control {
inline constexpr int kEventLogView = 1005;
inline constexpr int kLampVswr = 1010;
inline constexpr int kAutoCheck = 1011;
inline constexpr int kLampTemper = 1012;
inline constexpr int kLampRxPll = 1013;
inline constexpr int kLampTxPll = 1014;
inline constexpr int kLampDcVolt = 1015;

// The lamps' controls, top to bottom in the order of kLamps.
inline constexpr int kLamps[] = {kLampVswr, kLampTemper, kLampRxPll, kLampTxPll, kLampDcVolt};
} // namespace control

// Menu commands of the menu bar, and the About command.
namespace command {
inline constexpr int kAbout = 16;
inline constexpr int kShowArmState = 32785;
inline constexpr int kShowDspState = 32786;
inline constexpr int kShowAlarmState = 32787;
inline constexpr int kSetRxPll = 32788;
inline constexpr int kSetTxPll = 32789;
inline constexpr int kPaOn = 32790;
inline constexpr int kPaOff = 32791;
inline constexpr int kReboot = 32792;
inline constexpr int kVersionInfo = 32793;
inline constexpr int kClearLog = 32794;
inline constexpr int kChannelList = 32796;
inline constexpr int kChannel0 = 32798; // "Channel n" is kChannel0 + n, n = 0..15
inline constexpr int kChannel15 = 32813;
inline constexpr int kDspResetReceiver = 32816;
inline constexpr int kDspLogOn = 32817;
inline constexpr int kDspLogOff = 32818;
inline constexpr int kInitAd9864 = 32824;
inline constexpr int kResetBpf = 32825;
inline constexpr int kReset12p8Vco = 32826;
inline constexpr int kAirLogOn = 32827;
inline constexpr int kAirLogOff = 32828;
inline constexpr int kDspLinkLogOn = 32829;
inline constexpr int kDspLinkLogOff = 32830;
inline constexpr int kAlarmHistory = 32831;
inline constexpr int kNotifications = 32832;
} // namespace command

} // namespace tavrel

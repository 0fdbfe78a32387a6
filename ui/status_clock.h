// When the status bar's clock has to tick next: only while it shows a running time or has counts to catch up
// on, so that an idle window with a live link is not woken every second.
#pragma once

#include <algorithm>
#include <chrono>
#include <optional>

namespace tavrel {

// The running time of a link that is down ("Reconnecting for 00:00:41") and the tray's link-down notice are
// looked at this often.
inline constexpr std::chrono::milliseconds kStatusPeriod{1000};

// Nothing while the link is up and the counts shown are current: the link's text ("Connected since ...")
// stands still. Counts that changed are shown when the bar takes them again (countsDueIn, at most its period
// from now).
inline std::optional<std::chrono::milliseconds> nextStatusTick(bool connected, bool countsCurrent,
                                                               std::chrono::milliseconds countsDueIn) {
    if (!connected)
        return kStatusPeriod;
    if (countsCurrent)
        return std::nullopt;
    return std::max(countsDueIn, std::chrono::milliseconds{0});
}

} // namespace tavrel

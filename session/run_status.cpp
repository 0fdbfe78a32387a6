// The status line's texts of a run.
#include "session/run_status.h"

#include <cstdio>

#include "session/stamped_time.h"

namespace tavrel {

std::string formatLocalClock(WallClock::time_point moment) {
    const StampedTime local = localStampedTime(WallClock::to_time_t(moment));
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.hour, local.minute, local.second);
    return text;
}

std::string formatLinkStatus(const RunStatus& status, WallClock::time_point now) {
    const auto forHowLong = [&] {
        return formatDuration(std::chrono::duration_cast<std::chrono::seconds>(now - status.since()));
    };
    switch (status.link()) {
    case LinkState::Connected:
        return "Connected since " + formatLocalClock(status.since());
    case LinkState::Reconnecting:
        return "Reconnecting for " + forHowLong();
    case LinkState::Connecting:
        break;
    }
    return "Connecting for " + forHowLong();
}

std::string formatRunCounts(const RunStatus& status) {
    return "Log lines: " + std::to_string(status.logLines()) +
           "  Air records: " + std::to_string(status.airRecords());
}

} // namespace tavrel

// How this run's link and traffic stand, for a status line: link state and since when, lines and records
// taken.
#pragma once

#include <cstdint>
#include <string>

#include "session/alarm_transitions.h"

namespace tavrel {

enum class LinkState {
    Connecting,   // not yet connected in this run
    Connected,    // up since since()
    Reconnecting, // down since since(), the link trying again
};

class RunStatus {
public:
    explicit RunStatus(WallClock::time_point startedAt) : m_since(startedAt) {}

    void onConnected(WallClock::time_point now) { change(LinkState::Connected, now); }
    void onDisconnected(WallClock::time_point now) { change(LinkState::Reconnecting, now); }
    void onRepeaterLog() { ++m_logLines; }
    void onAirLogRecord() { ++m_airRecords; }

    LinkState link() const { return m_link; }
    // When the link took its present state (the run's start while still connecting).
    WallClock::time_point since() const { return m_since; }
    std::uint64_t logLines() const { return m_logLines; }
    std::uint64_t airRecords() const { return m_airRecords; }

private:
    void change(LinkState link, WallClock::time_point now) {
        m_link = link;
        m_since = now;
    }

    LinkState m_link = LinkState::Connecting;
    WallClock::time_point m_since;
    std::uint64_t m_logLines = 0;
    std::uint64_t m_airRecords = 0;
};

// "Connected since 14:02:11" (local time), "Reconnecting for 00:00:41", "Connecting for 00:00:05".
std::string formatLinkStatus(const RunStatus& status, WallClock::time_point now);
// "hh:mm:ss" of the moment in the PC's time zone.
std::string formatLocalClock(WallClock::time_point moment);
// "Log lines: 12  Air records: 3400"
std::string formatRunCounts(const RunStatus& status);

} // namespace tavrel

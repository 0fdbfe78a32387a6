// This run's alarm transitions as the rows of a table, the newest 10,000 kept, each with the texts it shows.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "session/alarm_transitions.h"

namespace tavrel {

struct AlarmHistoryRow {
    std::uint64_t sequence =
        0; // order of arrival: ties within a second and a clock set back keep their order
    AlarmTransition transition;
    // How long the alarm was on: for a cleared row its own duration; for a raised or found-active row set
    // once the alarm has cleared, empty while it is still on.
    std::optional<std::chrono::seconds> lasted;
};

class AlarmHistory {
public:
    static constexpr std::size_t kMaxRows = 10000;

    // Adds the transition's row, dropping the oldest beyond kMaxRows; a clearing closes the rows of the
    // alarm that are still open.
    void add(const AlarmTransition& transition);

    // Oldest first.
    const std::deque<AlarmHistoryRow>& rows() const { return m_rows; }
    // How many rows were ever added (more than rows().size() once old ones were dropped).
    std::uint64_t added() const { return m_added; }

private:
    std::deque<AlarmHistoryRow> m_rows;
    std::uint64_t m_added = 0;
};

enum class HistoryColumn { Time, Alarm, Event, Lasted };
inline constexpr int kHistoryColumnCount = 4;
inline constexpr std::array<std::string_view, kHistoryColumnCount> kHistoryColumnTitles{"Time", "Alarm",
                                                                                        "Event", "Lasted"};
// The "Lasted" text of an alarm that is still on.
inline constexpr std::string_view kStillActive = "active";

// "2026-12-09 14:02:11" (local time), "Rx PLL", "raised" / "cleared" / "found active", "00:03:12" or
// "active".
std::string historyCellText(const AlarmHistoryRow& row, HistoryColumn column);
// What the column sorts by: arrival, lamp order (top to bottom), event, seconds (still on: longest of all).
std::int64_t historySortKey(const AlarmHistoryRow& row, HistoryColumn column);

} // namespace tavrel

// The alarm history's rows: adding, closing open rows on a clearing, and the cell texts.
#include "session/alarm_history.h"

#include <cstdio>
#include <limits>

#include "session/stamped_time.h"

namespace tavrel {

void AlarmHistory::add(const AlarmTransition& transition) {
    if (transition.kind == AlarmTransition::Kind::Cleared) {
        // Back to the alarm's previous clearing: the rows between belong to the episode that ends now.
        for (auto row = m_rows.rbegin(); row != m_rows.rend(); ++row) {
            if (row->transition.lamp != transition.lamp)
                continue;
            if (row->transition.kind == AlarmTransition::Kind::Cleared)
                break;
            row->lasted = transition.lasted;
        }
    }
    AlarmHistoryRow row{m_added++, transition, std::nullopt};
    if (transition.kind == AlarmTransition::Kind::Cleared)
        row.lasted = transition.lasted;
    m_rows.push_back(row);
    if (m_rows.size() > kMaxRows)
        m_rows.pop_front();
}

std::string historyCellText(const AlarmHistoryRow& row, HistoryColumn column) {
    switch (column) {
    case HistoryColumn::Time: {
        const StampedTime t = localStampedTime(WallClock::to_time_t(row.transition.at));
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                      t.minute, t.second);
        return text;
    }
    case HistoryColumn::Alarm:
        return std::string(kLamps.at(static_cast<std::size_t>(row.transition.lamp)).label);
    case HistoryColumn::Event:
        switch (row.transition.kind) {
        case AlarmTransition::Kind::Active:
            return "found active";
        case AlarmTransition::Kind::Raised:
            return "raised";
        case AlarmTransition::Kind::Cleared:
            return "cleared";
        }
        break;
    case HistoryColumn::Lasted:
        return row.lasted ? formatDuration(*row.lasted) : std::string(kStillActive);
    }
    return {};
}

std::int64_t historySortKey(const AlarmHistoryRow& row, HistoryColumn column) {
    switch (column) {
    case HistoryColumn::Time:
        return static_cast<std::int64_t>(row.sequence);
    case HistoryColumn::Alarm:
        return row.transition.lamp;
    case HistoryColumn::Event:
        return static_cast<std::int64_t>(row.transition.kind);
    case HistoryColumn::Lasted:
        return row.lasted ? row.lasted->count() : std::numeric_limits<std::int64_t>::max();
    }
    return 0;
}

} // namespace tavrel

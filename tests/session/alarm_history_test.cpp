// The alarm history: rows of a run with reconnections, how each episode's rows are closed, the bound.
#include "session/alarm_history.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/session/utc_zone.h"

namespace tavrel {
namespace {

using namespace std::chrono_literals;
using Row = std::vector<std::string>;

std::vector<Row> table(const AlarmHistory& history) {
    std::vector<Row> rows;
    for (const AlarmHistoryRow& row : history.rows()) {
        Row cells;
        for (int column = 0; column < kHistoryColumnCount; ++column)
            cells.push_back(historyCellText(row, static_cast<HistoryColumn>(column)));
        rows.push_back(cells);
    }
    return rows;
}

TEST(AlarmHistory, RowsOfARunShowEachEpisodeAndHowLongItLasted) {
    test::UtcZone utc;
    const WallClock::time_point start = std::chrono::sys_days{std::chrono::year{2026} / 12 / 9} + 14h;
    AlarmTracker tracker;
    AlarmHistory history;
    const auto report = [&](std::int32_t bits, std::chrono::seconds at) {
        for (const AlarmTransition& transition : tracker.onReport(bits, start + at))
            history.add(transition);
    };
    tracker.onConnected();
    report(0x04, 0s);  // Rx PLL found active
    report(0x0C, 10s); // Tx PLL raised
    report(0x04, 70s); // Tx PLL cleared
    tracker.onConnected();
    report(0x04, 100s); // Rx PLL still on after a reconnection: the same episode
    report(0x00, 292s);
    report(0x08, 300s); // Tx PLL again, still on

    EXPECT_EQ(table(history), (std::vector<Row>{
                                  {"2026-12-09 14:00:00", "Rx PLL", "found active", "00:04:52"},
                                  {"2026-12-09 14:00:10", "Tx PLL", "raised", "00:01:00"},
                                  {"2026-12-09 14:01:10", "Tx PLL", "cleared", "00:01:00"},
                                  {"2026-12-09 14:01:40", "Rx PLL", "found active", "00:04:52"},
                                  {"2026-12-09 14:04:52", "Rx PLL", "cleared", "00:04:52"},
                                  {"2026-12-09 14:05:00", "Tx PLL", "raised", "active"},
                              }));

    // Sorting: arrival order for time, lamp order for the alarm, an alarm still on lasts longest.
    const auto& rows = history.rows();
    EXPECT_LT(historySortKey(rows[1], HistoryColumn::Time), historySortKey(rows[2], HistoryColumn::Time));
    EXPECT_LT(historySortKey(rows[0], HistoryColumn::Alarm), historySortKey(rows[1], HistoryColumn::Alarm));
    EXPECT_LT(historySortKey(rows[1], HistoryColumn::Lasted), historySortKey(rows[0], HistoryColumn::Lasted));
    EXPECT_GT(historySortKey(rows[5], HistoryColumn::Lasted), historySortKey(rows[0], HistoryColumn::Lasted));
}

TEST(AlarmHistory, KeepsTheNewestTenThousandRows) {
    AlarmHistory history;
    const WallClock::time_point t{};
    for (int i = 0; i < 10005; ++i)
        history.add(
            {i % kLampCount, i % 2 ? AlarmTransition::Kind::Cleared : AlarmTransition::Kind::Raised, t, 1s});
    ASSERT_EQ(history.rows().size(), AlarmHistory::kMaxRows);
    EXPECT_EQ(history.added(), 10005u);
    EXPECT_EQ(history.rows().front().sequence, 5u);
    EXPECT_EQ(history.rows().back().sequence, 10004u);
}

} // namespace
} // namespace tavrel

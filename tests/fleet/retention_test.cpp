// What the retention sweep removes, chosen from listings: files dated by name or modification time more than
// keep_days back, the oldest first while the state directory is too large, never a file being written.
#include "fleet/retention.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tavrel {
namespace {

TEST(Retention, DatesRunFilesByTheirNamesOnly) {
    const std::pair<std::string, std::optional<StampedTime>> cases[] = {
        {"repeater[10.0.1.5]_20260901083015.log", StampedTime{2026, 9, 1, 8, 30, 15}},
        {"AIRInfo[10.0.1.5]_D_20261231235959.dat", StampedTime{2026, 12, 31, 23, 59, 59}},
        {"AIRInfo[10.0.1.5]_U_20260229000000.dat", std::nullopt}, // no 29 February in 2026
        {"repeater[10.0.1.5]_2026090108301.log", std::nullopt},   // 13 digits
        {"repeater[10.0.1.5]-20260901083015.log", std::nullopt},  // no '_' before the digits
        {"notes.txt", std::nullopt},
        {"20260901083015", std::nullopt},
    };
    for (const auto& [name, date] : cases)
        EXPECT_EQ(dateInName(name), date) << name;
}

TEST(Retention, RemovesWhatIsTooOldThenTheOldestWhileTooLarge) {
    const StampedTime today{2026, 12, 10, 0, 0, 5};
    const auto file = [](std::string path, std::uint64_t bytes, StampedTime dated, bool inUse = false) {
        return StateFile{std::move(path), bytes, dated, inUse};
    };
    const std::vector<StateFile> listing = {
        file("d/new", 100, {2026, 12, 10, 0, 0, 0}, true),
        file("d/day7", 100, {2026, 12, 3, 23, 59, 59}), // 7 days back: kept by keep_days=7
        file("d/day8", 100, {2026, 12, 2, 0, 0, 0}),    // 8 days back
        file("d/day100", 100, {2026, 9, 1, 12, 0, 0}),
        file("d/old-in-use", 100, {2026, 1, 1, 0, 0, 0}, true),
        file("d/day3", 100, {2026, 12, 7, 0, 0, 0}),
        file("e/day3", 100, {2026, 12, 7, 0, 0, 0}),
    };
    struct Case {
        RetentionLimits limits;
        std::vector<std::string> removed; // in order
    };
    const Case cases[] = {
        {{7, 0}, {"d/day100", "d/day8"}},
        {{90, 0}, {"d/day100"}},
        {{365, 0}, {}},
        {{7, 400}, {"d/day100", "d/day8", "d/day7"}}, // 500 bytes left; without day7: 400
        {{7, 250}, {"d/day100", "d/day8", "d/day7", "d/day3", "e/day3"}},
        {{7, 1}, {"d/day100", "d/day8", "d/day7", "d/day3", "e/day3"}}, // files in use stay whatever the size
        {{1, 0}, {"d/day100", "d/day8", "d/day7", "d/day3", "e/day3"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> removed;
        for (const StateFile& f : filesToRemove(listing, today, c.limits))
            removed.push_back(f.path);
        EXPECT_EQ(removed, c.removed)
            << "keep_days=" << c.limits.keepDays << " max bytes=" << c.limits.maxBytes;
    }
}

TEST(Retention, OneLineNamesFewFilesOrTheOldestAndNewest) {
    const std::vector<StateFile> two = {{"/s/a/x.log", 10, {2026, 1, 2, 0, 0, 0}, false},
                                        {"/s/a/y.log", 5, {2026, 1, 1, 0, 0, 0}, false}};
    EXPECT_EQ(describeRemoval(two), "retention: removed 2 files, 15 bytes: x.log y.log");
    std::vector<StateFile> many = two;
    many.push_back({"/s/b/z.dat", 1, {2025, 5, 1, 0, 0, 0}, false});
    many.push_back({"/s/b/w.dat", 1, {2026, 3, 1, 0, 0, 0}, false});
    EXPECT_EQ(describeRemoval(many), "retention: removed 4 files, 17 bytes, oldest z.dat, newest w.dat");
}

} // namespace
} // namespace tavrel

// Finding a text in the event log: every match, and which one a step forward or back goes to.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace tavrel {

// Where the needle stands in the text, left to right, matches not overlapping; none for an empty needle.
// Case is the caller's: it folds both texts the same way when case does not matter.
std::vector<std::size_t> findAll(std::u16string_view text, std::u16string_view needle);

enum class FindDirection { Forward, Backward };

// The index of the match a step goes to: forward, the first that starts at or after `from`; backward, the
// last that starts before it; past either end it wraps around. Nothing when there are no matches.
// `from` is the end of the selection going forward and its start going back, so a found match is passed.
std::optional<std::size_t> stepMatch(const std::vector<std::size_t>& starts, std::size_t from,
                                     FindDirection direction);

} // namespace tavrel

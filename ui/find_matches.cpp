// Match positions and stepping between them, with wrap-around.
#include "ui/find_matches.h"

#include <algorithm>

namespace tavrel {

std::vector<std::size_t> findAll(std::u16string_view text, std::u16string_view needle) {
    std::vector<std::size_t> starts;
    if (needle.empty())
        return starts;
    for (auto at = text.find(needle); at != std::u16string_view::npos;
         at = text.find(needle, at + needle.size()))
        starts.push_back(at);
    return starts;
}

std::optional<std::size_t> stepMatch(const std::vector<std::size_t>& starts, std::size_t from,
                                     FindDirection direction) {
    if (starts.empty())
        return std::nullopt;
    if (direction == FindDirection::Forward) {
        const auto next = std::lower_bound(starts.begin(), starts.end(), from);
        return next == starts.end() ? 0 : static_cast<std::size_t>(next - starts.begin());
    }
    const auto after = std::lower_bound(starts.begin(), starts.end(), from);
    return after == starts.begin() ? starts.size() - 1 : static_cast<std::size_t>(after - starts.begin()) - 1;
}

} // namespace tavrel

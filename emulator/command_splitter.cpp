// Splitting of the O&M stream at command prefixes, with the complete-text and size rules.
#include "emulator/command_splitter.h"

#include <algorithm>
#include <utility>

#include "emulator/command_table.h"

namespace tavrel::emulator {
namespace {

// Where the next command prefix starts at or after `from`; npos when there is none.
std::size_t findPrefix(std::string_view text, std::size_t from) {
    return std::min(text.find(kControlPrefix, from), text.find(kOamPrefix, from));
}

} // namespace

std::vector<std::string> CommandSplitter::feed(std::string_view chunk) {
    std::vector<std::string> commands;
    m_pending.append(chunk);
    // A prefix at position 0 starts the pending command itself; only a later one ends it.
    for (auto next = findPrefix(m_pending, 1); next != std::string::npos; next = findPrefix(m_pending, 1)) {
        commands.push_back(m_pending.substr(0, next));
        m_pending.erase(0, next);
    }
    if (isCompleteFixedCommand(m_pending) || m_pending.size() > kMaxPendingBytes)
        commands.push_back(std::exchange(m_pending, {}));
    return commands;
}

std::optional<std::string> CommandSplitter::flush() {
    if (m_pending.empty())
        return std::nullopt;
    return std::exchange(m_pending, {});
}

} // namespace tavrel::emulator

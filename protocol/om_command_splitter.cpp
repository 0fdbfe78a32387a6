// Splitting of the O&M stream at command prefixes, with the complete-text and size rules.
#include "protocol/om_command_splitter.h"

#include <algorithm>
#include <array>
#include <utility>

#include "protocol/om_commands.h"

namespace tavrel::om {
namespace {

// The texts without arguments; every other command starts with one of kArgumentHeads.
constexpr std::array kFixedTexts{kHeartbeat,      kAlarmQuery,    kPaOn,         kPaOff,
                                 kReset12p8,      kInitAd9864,    kResetBpf,     kResetDspRx,
                                 kDspLogOn,       kDspLogOff,     kDspLinkLogOn, kDspLinkLogOff,
                                 kRebootRepeater, kShowSwVersion, kShowArmState, kShowDspState,
                                 kShowAlarmState, kListChannel,   kAirLogOff};
constexpr std::array kArgumentHeads{kLogDestinationHead, kSwitchChannelHead, kSetRxPllHead, kSetTxPllHead,
                                    kAirLogOnHead};

// Where the next command prefix starts at or after `from`; npos when there is none.
std::size_t findPrefix(std::string_view text, std::size_t from) {
    return std::min(text.find(kControlPrefix, from), text.find(kOamPrefix, from));
}

} // namespace

bool isCompleteFixedCommand(std::string_view text) {
    bool known = false;
    for (const std::string_view fixed : kFixedTexts) {
        if (fixed == text)
            known = true;
        else if (fixed.starts_with(text))
            return false;
    }
    return known && std::none_of(kArgumentHeads.begin(), kArgumentHeads.end(),
                                 [text](std::string_view head) { return head.starts_with(text); });
}

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

} // namespace tavrel::om

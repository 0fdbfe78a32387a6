// Cuts an O&M byte stream, which carries unterminated commands, back into single command texts: the
// repeater emulator and the collector's relay read their peers' commands with it.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel::om {

// True for a text without arguments that no longer known text (fixed or with arguments) starts with:
// nothing can follow it, so a reader need not wait for more bytes before taking it as complete.
bool isCompleteFixedCommand(std::string_view text);

// The monitor writes each command as one unterminated send, so TCP may deliver several in one read or one
// in several reads. The rule:
//  1. Every command starts with kControlPrefix or kOamPrefix. A command ends where the next such prefix
//     begins; bytes before the first prefix form a command of their own (an unknown one).
//  2. The text after the last prefix is complete at once when isCompleteFixedCommand holds for it
//     (e.g. "...:ALARMQUERY:", "...:PA:ON").
//  3. Otherwise it waits: the caller ends it with flush() after kQuietGap without new bytes, or when the
//     connection closes. Texts with arguments ("...:SWICHCHNL:1" might still grow to "...:10") end so.
//  4. Pending text longer than kMaxPendingBytes is taken as one (unknown) command, so a peer that never
//     sends a prefix cannot grow the buffer without bound.
class CommandSplitter {
public:
    static constexpr std::chrono::milliseconds kQuietGap{50};
    static constexpr std::size_t kMaxPendingBytes = 512;

    // Appends one received chunk and returns the commands it completes, in order.
    std::vector<std::string> feed(std::string_view chunk);

    // Ends the pending text (quiet gap or closed connection); nothing when no bytes are pending.
    std::optional<std::string> flush();

    bool hasPending() const noexcept { return !m_pending.empty(); }
    void reset() noexcept { m_pending.clear(); }

private:
    std::string m_pending;
};

} // namespace tavrel::om

// A time-scripted alarm sequence ("0:0,5:3,10:1": from second 0 bits 0, from second 5 bits 3, ...).
#pragma once

#include <chrono>
#include <optional>
#include <string_view>
#include <vector>

namespace tavrel::emulator {

struct AlarmStep {
    std::chrono::milliseconds at{0};
    int bits = 0;
};

class AlarmScript {
public:
    AlarmScript() = default;

    // Comma-separated "seconds:bits" steps; seconds may have a fraction, bits are decimal or 0x hex.
    // Nothing when the text is malformed. Steps are put in time order.
    static std::optional<AlarmScript> parse(std::string_view text);

    bool empty() const noexcept { return m_steps.empty(); }
    const std::vector<AlarmStep>& steps() const noexcept { return m_steps; }

    // The bits in force `elapsed` after the start: those of the last step not later than elapsed;
    // nothing before the first step.
    std::optional<int> bitsAt(std::chrono::milliseconds elapsed) const;

    // The time of the first step later than elapsed; nothing when the script has ended.
    std::optional<std::chrono::milliseconds> nextStepAfter(std::chrono::milliseconds elapsed) const;

private:
    std::vector<AlarmStep> m_steps;
};

// Decimal or 0x-prefixed hexadecimal alarm bits, 0 .. INT32_MAX.
std::optional<int> parseAlarmBits(std::string_view text);

} // namespace tavrel::emulator

// Parsing and evaluation of the scripted alarm sequence.
#include "emulator/alarm_script.h"

#include <algorithm>
#include <string>

#include "platform/number_text.h"

namespace tavrel::emulator {

namespace {

constexpr double kMaxScriptSeconds = 1e9;

} // namespace

std::optional<int> parseAlarmBits(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    const auto bits = parseWhole<int>(text, base);
    if (!bits || *bits < 0)
        return std::nullopt;
    return bits;
}

std::optional<AlarmScript> AlarmScript::parse(std::string_view text) {
    AlarmScript script;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const auto step = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (comma != std::string_view::npos && text.empty())
            return std::nullopt; // a trailing comma
        const auto colon = step.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        const auto at = parseSeconds(step.substr(0, colon), kMaxScriptSeconds);
        const auto bits = parseAlarmBits(step.substr(colon + 1));
        if (!at || !bits)
            return std::nullopt;
        script.m_steps.push_back(AlarmStep{*at, *bits});
    }
    if (script.m_steps.empty())
        return std::nullopt;
    std::stable_sort(script.m_steps.begin(), script.m_steps.end(),
                     [](const AlarmStep& a, const AlarmStep& b) { return a.at < b.at; });
    return script;
}

std::optional<int> AlarmScript::bitsAt(std::chrono::milliseconds elapsed) const {
    std::optional<int> bits;
    for (const auto& step : m_steps)
        if (step.at <= elapsed)
            bits = step.bits;
    return bits;
}

std::optional<std::chrono::milliseconds> AlarmScript::nextStepAfter(std::chrono::milliseconds elapsed) const {
    for (const auto& step : m_steps)
        if (step.at > elapsed)
            return step.at;
    return std::nullopt;
}

} // namespace tavrel::emulator

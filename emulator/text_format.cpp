// Formatting helpers shared by the repeater's log and console texts.
#include "emulator/text_format.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace tavrel::emulator {

std::string textf(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list copy;
    va_copy(copy, arguments);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    va_end(arguments);
    return text;
}

std::string escapeText(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '\\')
            escaped += textf("\\x%02X", byte);
        else
            escaped += c;
    }
    return escaped;
}

std::string megahertz(long long hertz) {
    return textf("%lld.%04lld", hertz / 1'000'000, (hertz % 1'000'000) / 100);
}

std::string numberedLine(unsigned long long number, std::size_t size) {
    std::string line = textf("SEQ %010llu ", number);
    constexpr std::string_view kFill = "abcdefghijklmnopqrstuvwxyz";
    for (std::size_t i = line.size(); i < size; ++i)
        line += kFill[i % kFill.size()];
    line.resize(size);
    return line;
}

std::string stampedLine(std::string_view text) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    return textf("%02d:%02d:%02d.%03d %.*s", local.tm_hour, local.tm_min, local.tm_sec,
                 static_cast<int>(millis), static_cast<int>(text.size()), text.data());
}

} // namespace tavrel::emulator

// printf-style formatting into a std::string, for the repeater's log texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrel::emulator {

std::string textf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Control characters and bytes above 0x7E as \xNN, so a wrong command text shows exactly what arrived.
std::string escapeText(std::string_view text);

// A frequency in Hz as MHz with four decimals ("439.1375").
std::string megahertz(long long hertz);

// A log line of exactly `size` bytes that starts "SEQ 0000000042 " and is filled with a letter pattern,
// so a reader can check order and loss; lines shorter than that head are the head cut short.
std::string numberedLine(unsigned long long number, std::size_t size);

// "HH:MM:SS.mmm text" in local time, for the console.
std::string stampedLine(std::string_view text);

} // namespace tavrel::emulator

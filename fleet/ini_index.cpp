// A line scan of an INI file that records sections and keys with their line numbers.
#include "fleet/ini_index.h"

#include <sstream>
#include <string_view>

namespace tavrel {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

IniIndex indexIni(const std::string& text) {
    IniIndex index;
    std::istringstream lines(text);
    std::string raw;
    for (int number = 1; std::getline(lines, raw); ++number) {
        const std::string_view line = trimmed(raw);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']') {
                index.badLine = number;
                index.badLineWhy = "a section header must end in ']'";
                return index;
            }
            index.sections.push_back({std::string(trimmed(line.substr(1, line.size() - 2))), number, {}});
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || index.sections.empty()) {
            index.badLine = number;
            index.badLineWhy = equals == std::string_view::npos ? "expected key=value or [section]"
                                                                : "key=value before the first [section]";
            return index;
        }
        index.sections.back().keys.push_back({std::string(trimmed(line.substr(0, equals))), number});
    }
    return index;
}

} // namespace tavrel

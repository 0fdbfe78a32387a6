// A line scan of an INI file that records sections and keys with their values and line numbers.
#include "fleet/ini_index.h"

#include <algorithm>
#include <optional>

#include "fleet/setting_text.h"

namespace tavrel {
namespace {

// What trimmed() takes off a line's ends; inside a value, one of them before ';' or '#' starts a comment.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

bool isComment(char c) {
    return c == ';' || c == '#';
}

// The text up to a comment that follows a blank (a ';' or '#' right after other text is kept).
std::string_view beforeComment(std::string_view text) {
    for (std::size_t i = 1; i < text.size(); ++i)
        if (isComment(text[i]) && isBlank(text[i - 1]))
            return trimmed(text.substr(0, i));
    return trimmed(text);
}

// The value of the text after '=', or why it cannot be read.
struct Value {
    std::string text;
    std::string why;
};

Value readValue(std::string_view afterEquals) {
    const std::string_view text = trimmed(afterEquals);
    if (!text.empty() && isComment(text.front()) && isBlank(afterEquals.front()))
        return {}; // "key = ; comment": an empty value
    if (text.empty() || text.front() != '"')
        return {std::string(beforeComment(text)), {}};
    const auto close = text.find('"', 1);
    if (close == std::string_view::npos)
        return {{}, "the value's opening quote has no closing quote"};
    const std::string_view rest = trimmed(text.substr(close + 1));
    if (!rest.empty() && !isComment(rest.front()))
        return {{}, "only a comment may follow a quoted value"};
    return {std::string(text.substr(1, close - 1)), {}};
}

} // namespace

const IniKey* IniSection::find(std::string_view key) const {
    const auto it = std::find_if(keys.begin(), keys.end(), [&](const IniKey& k) { return k.name == key; });
    return it == keys.end() ? nullptr : &*it;
}

IniIndex indexIni(std::string_view text) {
    IniIndex index;
    const auto bad = [&index](int number, std::string why) {
        index.badLine = number;
        index.badLineWhy = std::move(why);
        return index;
    };
    int number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || isComment(line.front()))
            continue;
        if (line.front() == '[') {
            const std::string_view header = beforeComment(line);
            if (header.back() != ']')
                return bad(number, "a section header must end in ']'");
            index.sections.push_back({std::string(trimmed(header.substr(1, header.size() - 2))), number, {}});
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            return bad(number, "expected key=value or [section]");
        if (index.sections.empty())
            return bad(number, "key=value before the first [section]");
        IniSection& section = index.sections.back();
        const std::string name(trimmed(line.substr(0, equals)));
        if (name.empty())
            return bad(number, "a key=value line without a key");
        if (const IniKey* first = section.find(name))
            return bad(number, "key '" + name + "' is repeated in [" + section.name + "] (first on line " +
                                   std::to_string(first->line) + ")");
        Value value = readValue(line.substr(equals + 1));
        if (!value.why.empty())
            return bad(number, std::move(value.why));
        section.keys.push_back({name, std::move(value.text), number});
    }
    return index;
}

} // namespace tavrel

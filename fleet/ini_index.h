// The collector's settings file read line by line: every section and key with its value and line, so that a
// mistake is reported where it stands.
//
// The rules: `[section]` headers; `key = value` lines (spaces around '=' are ignored); ';' or '#' starts a
// comment at the start of a line, or inside a value after a space or tab; a value in double quotes keeps ';',
// '#', ',' and leading or trailing spaces; an empty value is "". Commas are never special.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

struct IniKey {
    std::string name;
    std::string value;
    int line = 0;
};

struct IniSection {
    std::string name;
    int line = 0;
    std::vector<IniKey> keys; // in the file's order; a name appears once

    // The key of that name, or nullptr.
    const IniKey* find(std::string_view key) const;
};

struct IniIndex {
    std::vector<IniSection> sections;
    // The first line that does not follow the rules (0: none), and why.
    int badLine = 0;
    std::string badLineWhy;
};

// Lines are numbered from 1. A key repeated within one section is a mistake of its second line.
IniIndex indexIni(std::string_view text);

} // namespace tavrel

// Where each section and key of an INI file stands, for messages that name the line: QSettings reads the
// values but does not say where they came from.
#pragma once

#include <string>
#include <vector>

namespace tavrel {

struct IniKey {
    std::string name;
    int line = 0;
};

struct IniSection {
    std::string name;
    int line = 0;
    std::vector<IniKey> keys; // in the file's order
};

struct IniIndex {
    std::vector<IniSection> sections;
    // The first line that is neither blank, a comment, a [section] nor a key=value inside a section.
    int badLine = 0;
    std::string badLineWhy;
};

// Lines are numbered from 1; comments start with ';' or '#'.
IniIndex indexIni(const std::string& text);

} // namespace tavrel

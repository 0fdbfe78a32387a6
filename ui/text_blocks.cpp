// Block breaks as the text view makes them on plain-text insertion, so pending lines can be counted.
#include "ui/text_blocks.h"

namespace tavrel {

int textBlockBreaks(std::string_view utf8) {
    int breaks = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\r') {
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n')
                ++i; // one break for the pair
            ++breaks;
        } else if (c == '\n') {
            ++breaks;
        } else if (c == '\xE2' && utf8.substr(i, 3) == "\xE2\x80\xA9") { // U+2029
            ++breaks;
            i += 2;
        } else if (c == '\xEF' &&
                   (utf8.substr(i, 3) == "\xEF\xB7\x90" || utf8.substr(i, 3) == "\xEF\xB7\x91")) {
            ++breaks; // U+FDD0, U+FDD1
            i += 2;
        }
    }
    return breaks;
}

} // namespace tavrel

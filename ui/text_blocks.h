// How many lines (text blocks) a text adds to the event-log view, counted as the view itself counts them.
#pragma once

#include <string_view>

namespace tavrel {

// The number of block breaks the view makes when the UTF-8 text is inserted as plain text: "\r\n", a lone
// "\r" or "\n", the paragraph separator U+2029 and the frame marks U+FDD0 and U+FDD1 each start a new block.
int textBlockBreaks(std::string_view utf8);

} // namespace tavrel

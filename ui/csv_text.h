// Comma-separated text as RFC 4180 has it, for exporting tables.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

// The field as it is, or in double quotes (inner quotes doubled) when it holds a comma, a quote, CR or LF.
std::string csvField(std::string_view text);
// Each row's fields joined by commas, each record ended by CRLF.
std::string csvText(const std::vector<std::vector<std::string>>& rows);

} // namespace tavrel

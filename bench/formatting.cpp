// Number formatting and quantiles shared by the measurements.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bench/measurements.h"

namespace tavrel::bench {

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string thousands(double value) {
    const std::string digits = std::to_string(std::llround(std::fabs(value)));
    std::string grouped = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string milliseconds(std::int64_t ns) {
    const double ms = static_cast<double>(ns) / 1e6;
    return fixed(ms, ms < 10 ? 2 : (ms < 100 ? 1 : 0)) + " ms";
}

std::int64_t quantile(std::vector<std::int64_t> values, double q) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
    return values[std::min(values.size() - 1, rank == 0 ? 0 : rank - 1)];
}

} // namespace tavrel::bench

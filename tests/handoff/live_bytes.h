// Counts the bytes held through operator new in this test program, to see payloads freed on every path.
#pragma once

#include <cstdint>

namespace tavrel::test {

std::int64_t liveHeapBytes();

} // namespace tavrel::test

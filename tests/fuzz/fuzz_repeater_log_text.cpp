// Fuzz target: conversion of repeater log bytes into the text shown and filed.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/narrow_text.h"

namespace {

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        if (length == 0 || lead > 0xF4 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = tavrel::toValidUtf8(bytes);
    if (!isValidUtf8(text) || text.find('\0') != std::string::npos)
        __builtin_trap();
    // Nothing is dropped: every input byte before the first NUL gives at least one output byte.
    if (text.size() < bytes.substr(0, bytes.find('\0')).size())
        __builtin_trap();
    return 0;
}

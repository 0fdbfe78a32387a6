// Repeater bytes become valid UTF-8 with U+FFFD for every invalid byte, nothing dropped; addresses are cut.
#include <gtest/gtest.h>

#include "platform/narrow_text.h"

namespace tavrel {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

struct Case {
    const char* what;
    std::string input;
    std::string expected;
};

TEST(NarrowText, ReplacesEachInvalidByteAndKeepsValidText) {
    const Case cases[] = {
        {"ascii", "CH1 OK", "CH1 OK"},
        {"valid two, three and four byte forms", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xA1",
         "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xA1"},
        {"lone continuation byte", "a\x80z", "a" + kFffd + "z"},
        {"Latin-1 byte from an old firmware", "caf\xE9!", "caf" + kFffd + "!"},
        {"overlong slash (C0 AF)", "\xC0\xAF", kFffd + kFffd},
        {"overlong three-byte NUL", "\xE0\x80\x80", kFffd + kFffd + kFffd},
        {"overlong four-byte form", "\xF0\x8F\xBF\xBF", kFffd + kFffd + kFffd + kFffd},
        {"UTF-16 surrogate D800", "\xED\xA0\x80", kFffd + kFffd + kFffd},
        {"above U+10FFFF", "\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},
        {"never-valid bytes FE FF", "\xFE\xFF", kFffd + kFffd},
        {"sequence truncated at the end", "ok\xE2\x82", "ok" + kFffd + kFffd},
        {"sequence cut by the next character",
         "\xF0\x9F"
         "A",
         kFffd + kFffd + "A"},
        {"highest code point stays", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toValidUtf8(c.input), c.expected) << c.what;
}

TEST(NarrowText, StopsAtTheFirstNul) {
    EXPECT_EQ(toValidUtf8(std::string("log\0tail", 8)), "log");
    EXPECT_EQ(toValidUtf8(std::string("\0", 1)), "");
}

TEST(NarrowText, CutsAddressesToFifteenCharacters) {
    EXPECT_EQ(cutAddress("255.255.255.255"), "255.255.255.255");
    EXPECT_EQ(cutAddress("255.255.255.2550"), "255.255.255.255");
    EXPECT_EQ(cutAddress("10.0.0.1"), "10.0.0.1");
}

} // namespace
} // namespace tavrel

// Hostile repeater log text sent as real datagrams: control characters, markup and invalid UTF-8 are shown
// and filed literally.
#include <string>
#include <string_view>

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include "tests/faults/fault_window.h"
#include "tests/receivers/udp_test_util.h"

namespace tavrel::test {
namespace {

using namespace std::string_literals;

constexpr std::string_view kFffd = "\xEF\xBF\xBD"; // U+FFFD

// Each test opens its window on an address of its own, so that parallel runs never share a receive port.
class LogText : public FaultWindowTest {
protected:
    // Sends the datagram to the log port and waits until the view shows the expected line.
    void sendAndExpect(const std::string& datagram, const std::string& shown) {
        const auto port = static_cast<std::uint16_t>(settings.monitorRxPort);
        ASSERT_TRUE(sendDatagram(settings.localAddress, port, datagram));
        const std::string line = stamped(shown) + "\n";
        ASSERT_TRUE(waitUntil([&] { return viewText(*window).find(line) != std::string::npos; }))
            << "view:\n"
            << viewText(*window);
    }

    // True when the run log holds the line, stamped, as a line of its own.
    bool filed(std::string_view text) const {
        return runLog().find(stamped(text) + "\n") != std::string::npos;
    }
};

TEST_F(LogText, ControlCharactersAreShownAndFiledAsTheyCame) {
    ASSERT_NO_FATAL_FAILURE(openReceiving(31));
    const std::string text = "tab\there esc\x1b[31mred\x1b[0m del\x7f bell\x07 end";
    sendAndExpect(text, text);
    EXPECT_TRUE(filed(text)) << runLog();
}

TEST_F(LogText, EverythingBeforeTheFirstNulIsKeptAndNothingAfterIt) {
    ASSERT_NO_FATAL_FAILURE(openReceiving(32));
    sendAndExpect("before the NUL\0after the NUL"s, "before the NUL");
    EXPECT_TRUE(filed("before the NUL"));
    // A datagram that starts with NUL is an empty entry, not a lost one.
    sendAndExpect("\0hidden"s, "");
    EXPECT_TRUE(filed(""));
    EXPECT_EQ(viewText(*window).find("after the NUL"), std::string::npos);
    EXPECT_EQ(runLog().find("hidden"), std::string::npos);
}

TEST_F(LogText, LineBreaksSpanLinesOfOneEntryInTheViewAndStayRawInTheRunLog) {
    ASSERT_NO_FATAL_FAILURE(openReceiving(33));
    // The view breaks a line at CR, LF and CR LF alike; the run log keeps the bytes.
    sendAndExpect("first\rsecond\r\nthird\nfourth", "first\nsecond\nthird\nfourth");
    EXPECT_TRUE(filed("first\rsecond\r\nthird\nfourth")) << runLog();
}

TEST_F(LogText, MarkupIsNotInterpreted) {
    ASSERT_NO_FATAL_FAILURE(openReceiving(34));
    const std::string text = "<b>x</b> &amp; &lt;i&gt; <a href=\"h\">link</a> <br/><!-- c --> <script>";
    sendAndExpect(text, text);
    EXPECT_TRUE(filed(text));
    // The last entry carries no bold or anchor formatting either.
    const QTextDocument* document = window->eventLogView()->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            EXPECT_FALSE(fragment.fragment().charFormat().isAnchor());
            EXPECT_LE(fragment.fragment().charFormat().fontWeight(), QFont::Normal);
        }
}

TEST_F(LogText, InvalidUtf8IsShownAsReplacementCharactersByteForByte) {
    ASSERT_NO_FATAL_FAILURE(openReceiving(35));
    const std::string bytes = "ok \xC3\xA9\xE2\x82\xAC"    // valid: e acute, euro sign
                              " lone \xFF\xFE"             // bytes never valid in UTF-8
                              " cut \xC3("                 // a lead byte without its follower
                              " surrogate \xED\xA0\x80"    // an encoded surrogate
                              " overlong \xC0\xAF"         // an overlong '/'
                              " five \xF8\x88\x80\x80\x80" // an old five-byte form
                              " tail \xE2\x82";            // a sequence cut by the datagram end
    const std::string f(kFffd);
    const std::string shown = "ok \xC3\xA9\xE2\x82\xAC"
                              " lone " +
                              f + f + " cut " + f + "(" + " surrogate " + f + f + f + " overlong " + f + f +
                              " five " + f + f + f + f + f + " tail " + f + f;
    sendAndExpect(bytes, shown);
    EXPECT_TRUE(filed(shown)) << "the run log holds valid UTF-8 with the same replacements";
}

TEST_F(LogText, CharactersTheViewTreatsSpeciallyLeaveTheWindowWorking) {
    ASSERT_NO_FATAL_FAILURE(openReceiving(36));
    // Qt's own frame marks and separators, a byte-order mark and non-characters, as plain repeater text.
    const std::string text =
        "frame\xEF\xB7\x90mark\xEF\xB7\x91 bom\xEF\xBB\xBF nonchar\xEF\xBF\xBE\xEF\xBF\xBF";
    const auto port = static_cast<std::uint16_t>(settings.monitorRxPort);
    ASSERT_TRUE(sendDatagram(settings.localAddress, port, text));
    ASSERT_TRUE(waitUntil([&] { return filed(text); })) << runLog();
    sendAndExpect("next line", "next line");
}

} // namespace
} // namespace tavrel::test

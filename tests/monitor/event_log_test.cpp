// The event log on the real window: stamping, the 2000-line clear, plain text, scrolling, the run log.
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include "tests/monitor/window_fixture.h"

namespace tavrel::test {
namespace {

class MonitorEventLog : public MonitorWindowTest {
protected:
    void SetUp() override {
        open(1);
        window->eventLog().clearView();
    }
    int lineCount() const { return window->eventLogView()->blockCount(); }
};

TEST_F(MonitorEventLog, LineIsStampedShownAndFiled) {
    now = StampedTime{2016, 8, 4, 0, 0, 1}; // after midnight the lines carry their own date
    window->eventLog().appendEvent("Connecting to repeater...");
    EXPECT_EQ(viewText(*window), "20160804 000001>> Connecting to repeater...\n");
    const std::string file = runLog();
    EXPECT_EQ(file.substr(file.size() - 45), "\n20160804 000001>> Connecting to repeater...\n");
    EXPECT_NE(file.find("Created at 20160803 235959"), std::string::npos);
}

TEST_F(MonitorEventLog, ViewIsEmptiedOnceItHoldsMoreThan1999Lines) {
    // Each line adds one text block; the empty block after the last line break counts too.
    for (int i = 1; i <= 1998; ++i)
        window->eventLog().appendEvent("line " + std::to_string(i));
    ASSERT_EQ(lineCount(), 1999);
    window->eventLog().appendEvent("line 1999"); // 1999 is not more than 1999: no clear yet
    ASSERT_EQ(lineCount(), 2000);
    EXPECT_EQ(window->eventLogView()->document()->firstBlock().text().toStdString(),
              "20160803 235959>> line 1");

    window->eventLog().appendEvent("line 2000");
    EXPECT_EQ(viewText(*window), "20160803 235959>> line 2000\n");

    // The run log keeps every line, in order.
    const std::string file = runLog();
    std::size_t at = 0;
    for (int i = 1; i <= 2000; ++i) {
        const std::string line = "20160803 235959>> line " + std::to_string(i) + "\n";
        at = file.find(line, at);
        ASSERT_NE(at, std::string::npos) << "line " << i;
        at += line.size();
    }
    EXPECT_EQ(at, file.size());
}

TEST_F(MonitorEventLog, TextEndingInLineBreakLeavesAnEmptyLineInViewAndFile) {
    window->eventLog().appendEvent("banner\n");
    window->eventLog().appendEvent("next");
    EXPECT_EQ(viewText(*window), "20160803 235959>> banner\n\n20160803 235959>> next\n");
    EXPECT_NE(runLog().find(">> banner\n\n20160803 235959>> next\n"), std::string::npos);
}

TEST_F(MonitorEventLog, MarkupIsShownLiterally) {
    const std::string markup = "<b>bold</b> &amp; <a href=\"x\">link</a> <br> &lt;";
    window->eventLog().appendEvent(markup);
    EXPECT_EQ(viewText(*window), "20160803 235959>> " + markup + "\n");
    EXPECT_FALSE(window->eventLogView()->document()->firstBlock().charFormat().font().bold());
    EXPECT_NE(runLog().find(markup + "\n"), std::string::npos);
}

TEST_F(MonitorEventLog, ClearViewLeavesTheRunLog) {
    window->eventLog().appendEvent("kept in the file");
    window->eventLog().clearView();
    EXPECT_EQ(viewText(*window), "");
    EXPECT_NE(runLog().find(">> kept in the file\n"), std::string::npos);
    window->eventLog().appendEvent("after the clear");
    EXPECT_EQ(viewText(*window), "20160803 235959>> after the clear\n");
}

TEST_F(MonitorEventLog, AppendGoesToTheEndAndScrollsToTheBottom) {
    window->resize(window->sizeHint());
    window->show();
    for (int i = 0; i < 200; ++i)
        window->eventLog().appendEvent("line " + std::to_string(i));
    QScrollBar* bar = window->eventLogView()->verticalScrollBar();
    const auto atBottom = [&] { return bar->maximum() > 0 && bar->value() == bar->maximum(); };
    ASSERT_TRUE(waitUntil(atBottom));
    bar->setValue(0); // the operator scrolled up to read
    QCoreApplication::processEvents();
    ASSERT_EQ(bar->value(), 0);
    QTextCursor cursor = window->eventLogView()->textCursor();
    cursor.setPosition(0); // the operator put the caret at the top
    window->eventLogView()->setTextCursor(cursor);

    window->eventLog().appendEvent("newest");
    EXPECT_TRUE(viewText(*window).ends_with(">> newest\n")) << "inserted at the end, not at the caret";
    // The scroll is queued: it happens once the event loop runs.
    EXPECT_TRUE(waitUntil(atBottom));
}

} // namespace
} // namespace tavrel::test

// The event log on the real window: stamping, the 2000-line clear, plain text, scrolling, the run log.
#include <algorithm>

#include <QBackingStore>
#include <QImage>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include "tests/ui/window_fixture.h"
#include "ui/text_blocks.h"

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
    window->session().appendEvent("Connecting to repeater...");
    EXPECT_EQ(viewText(*window), "20160804 000001>> Connecting to repeater...\n");
    const std::string file = runLog();
    EXPECT_EQ(file.substr(file.size() - 45), "\n20160804 000001>> Connecting to repeater...\n");
    EXPECT_NE(file.find("Created at 20160803 235959"), std::string::npos);
}

TEST_F(MonitorEventLog, ViewIsEmptiedOnceItHoldsMoreThan1999Lines) {
    // Each line adds one text block; the empty block after the last line break counts too.
    for (int i = 1; i <= 1998; ++i)
        window->session().appendEvent("line " + std::to_string(i));
    ASSERT_EQ(lineCount(), 1999);
    window->session().appendEvent("line 1999"); // 1999 is not more than 1999: no clear yet
    ASSERT_EQ(lineCount(), 2000);
    EXPECT_EQ(window->eventLogView()->document()->firstBlock().text().toStdString(),
              "20160803 235959>> line 1");

    window->session().appendEvent("line 2000");
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
    window->session().appendEvent("banner\n");
    window->session().appendEvent("next");
    EXPECT_EQ(viewText(*window), "20160803 235959>> banner\n\n20160803 235959>> next\n");
    EXPECT_NE(runLog().find(">> banner\n\n20160803 235959>> next\n"), std::string::npos);
}

TEST_F(MonitorEventLog, MarkupIsShownLiterally) {
    const std::string markup = "<b>bold</b> &amp; <a href=\"x\">link</a> <br> &lt;";
    window->session().appendEvent(markup);
    EXPECT_EQ(viewText(*window), "20160803 235959>> " + markup + "\n");
    EXPECT_FALSE(window->eventLogView()->document()->firstBlock().charFormat().font().bold());
    EXPECT_NE(runLog().find(markup + "\n"), std::string::npos);
}

TEST_F(MonitorEventLog, ClearViewLeavesTheRunLog) {
    window->session().appendEvent("kept in the file");
    window->eventLog().clearView();
    EXPECT_EQ(viewText(*window), "");
    EXPECT_NE(runLog().find(">> kept in the file\n"), std::string::npos);
    window->session().appendEvent("after the clear");
    EXPECT_EQ(viewText(*window), "20160803 235959>> after the clear\n");
}

TEST_F(MonitorEventLog, AppendGoesToTheEndAndScrollsToTheBottom) {
    window->resize(window->sizeHint());
    window->show();
    for (int i = 0; i < 200; ++i)
        window->session().appendEvent("line " + std::to_string(i));
    QScrollBar* bar = window->eventLogView()->verticalScrollBar();
    const auto atBottom = [&] { return bar->maximum() > 0 && bar->value() == bar->maximum(); };
    ASSERT_TRUE(waitUntil(atBottom));
    QCoreApplication::processEvents(); // the queued scroll request as well
    bar->setValue(0);                  // the operator scrolled up to read
    QCoreApplication::processEvents();
    ASSERT_EQ(bar->value(), 0);
    QTextCursor cursor = window->eventLogView()->textCursor();
    cursor.setPosition(0); // the operator put the caret at the top
    window->eventLogView()->setTextCursor(cursor);

    window->session().appendEvent("newest");
    EXPECT_TRUE(viewText(*window).ends_with(">> newest\n")) << "inserted at the end, not at the caret";
    // The scroll is queued: it happens once the event loop runs.
    EXPECT_TRUE(waitUntil(atBottom));

    cursor.setPosition(5);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor); // the operator selected up to the end
    window->eventLogView()->setTextCursor(cursor);
    const std::string before = viewText(*window);
    window->session().appendEvent("after a selection");
    window->eventLog().showPendingLines();
    EXPECT_EQ(viewText(*window), before + "20160803 235959>> after a selection\n")
        << "the selection replaced";
}

// While the window is shown, lines reach the view together on the tick; the run log has each at once.
class ShownEventLog : public MonitorEventLog {
protected:
    void SetUp() override {
        MonitorEventLog::SetUp();
        window->show();
    }
    std::string shownText() const { return window->eventLogView()->toPlainText().toStdString(); }
};

TEST_F(ShownEventLog, AQuietViewShowsALineAtOnceAndTheNextOnesTogetherOnTheTick) {
    auto monotonic = std::chrono::steady_clock::now();
    window->eventLog().setMonotonicClock([&] { return monotonic; });
    window->eventLog().showPendingLines(); // lines shown just now
    monotonic += EventLog::kShowPendingPeriod;

    window->session().appendEvent("first"); // a period after the last lines: shown at once
    EXPECT_EQ(shownText(), "20160803 235959>> first\n");
    monotonic += std::chrono::milliseconds(10);
    window->session().appendEvent("second");
    window->session().appendEvent("third");
    EXPECT_EQ(shownText(), "20160803 235959>> first\n") << "within the period: waits for the tick";
    EXPECT_TRUE(runLog().ends_with(">> second\n20160803 235959>> third\n")) << "filed without waiting";

    // The tick comes by itself from the event loop, when the period is over.
    EXPECT_TRUE(waitUntil([&] { return shownText().ends_with(">> third\n"); }));
    EXPECT_EQ(shownText(), "20160803 235959>> first\n20160803 235959>> second\n20160803 235959>> third\n");
}

// The window's own picture of the view against the view painted from scratch: new lines are painted
// in part only, so any part left stale would show here.
class PaintedEventLog : public ShownEventLog {
protected:
    // The view's text and its scroll bar, which is repainted on its own for every line.
    ::testing::AssertionResult showsItsText() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents(); // the queued scroll and the paint
        QPaintDevice* device = window->backingStore()->paintDevice();
        if (device->devType() != QInternal::Image)
            return ::testing::AssertionFailure() << "the platform keeps no image of the window";
        for (QWidget* part : {window->eventLogView()->viewport(),
                              static_cast<QWidget*>(window->eventLogView()->verticalScrollBar())}) {
            if (!part->isVisible())
                continue;
            const QRect place(part->mapTo(window.get(), QPoint(0, 0)), part->size());
            const QImage shown = static_cast<QImage*>(device)->copy(place);
            if (shown != window->grab(place).toImage().convertToFormat(shown.format()))
                return ::testing::AssertionFailure() << "stale pixels in " << part->metaObject()->className();
        }
        return ::testing::AssertionSuccess();
    }
    void append(int count, const std::string& tag) {
        for (int i = 0; i < count; ++i) // every fifth line long enough to wrap
            window->session().appendEvent(tag + " " + std::to_string(i) +
                                          (i % 5 == 3 ? std::string(150 + count * 7, 'w') : ""));
        window->eventLog().showPendingLines();
    }
};

TEST_F(PaintedEventLog, LinesAddedAtTheBottomArePaintedWhole) {
    for (int line = 0; line < 40; ++line) { // the view filling up, one line at a time
        append(1, "filling");
        ASSERT_TRUE(showsItsText()) << "line " << line;
    }
    for (int count = 1; count <= 40; ++count) {
        append(count, "batch of " + std::to_string(count));
        ASSERT_TRUE(showsItsText()) << count << " lines at once";
    }
}

TEST_F(PaintedEventLog, LinesAddedWhileScrolledUpOrAfterTheClearArePaintedWhole) {
    append(1500, "filling");
    ASSERT_TRUE(showsItsText());
    window->eventLogView()->verticalScrollBar()->setValue(10); // the operator reads older lines
    ASSERT_TRUE(showsItsText());
    append(1, "while scrolled up");
    EXPECT_TRUE(showsItsText());

    append(2000 - window->eventLogView()->blockCount(), "up to the clear"); // 2000 lines: the next clears
    append(3, "after the clear");
    EXPECT_EQ(window->eventLogView()->document()->firstBlock().text().toStdString(),
              "20160803 235959>> after the clear 0");
    EXPECT_TRUE(showsItsText());
}

TEST_F(ShownEventLog, ClearDropsTheLinesWaitingForTheTick) {
    window->session().appendEvent("shown");
    window->eventLog().showPendingLines();
    window->session().appendEvent("waiting");
    window->eventLog().clearView();
    window->eventLog().showPendingLines();
    EXPECT_EQ(shownText(), "");
    window->session().appendEvent("after");
    window->eventLog().showPendingLines();
    EXPECT_EQ(shownText(), "20160803 235959>> after\n");
    EXPECT_NE(runLog().find(">> waiting\n"), std::string::npos);
}

// Lines that break into several view lines, as a repeater's text can.
std::string multiLineText(int i) {
    static const char* const kBreaks[] = {"a\rb",
                                          "a\r\nb",
                                          "a\n\nb",
                                          "a\xE2\x80\xA9"
                                          "b",
                                          "a\xEF\xB7\x90"
                                          "b",
                                          "a\xEF\xB7\x91"
                                          "b",
                                          "\r",
                                          "plain",
                                          "\r\r\n\n"};
    return "line " + std::to_string(i) + " " + kBreaks[i % std::size(kBreaks)];
}

TEST_F(ShownEventLog, LineRuleStrikesAsItDoesLineByLine) {
    // The reference: a view fed one line at a time, the line and its "\n" inserted one after the other,
    // emptied whenever it holds more than 1999 lines before the next.
    std::vector<std::string> lines;
    QPlainTextEdit reference;
    for (int i = 0; i < 5000; ++i) {
        lines.push_back(multiLineText(i));
        if (reference.blockCount() > EventLog::kMaxViewLines)
            reference.clear();
        reference.moveCursor(QTextCursor::End);
        reference.insertPlainText(QString::fromStdString("20160803 235959>> " + lines.back()));
        reference.insertPlainText(QStringLiteral("\n"));
    }

    // The shown view gets them in batches of various sizes, across several clears.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        window->session().appendEvent(lines[i]);
        if (i % 97 == 0 || i % 1000 == 999)
            window->eventLog().showPendingLines();
    }
    window->eventLog().showPendingLines();
    EXPECT_EQ(shownText(), reference.toPlainText().toStdString());
    EXPECT_EQ(window->eventLogView()->blockCount(), reference.blockCount());
}

TEST(TextBlockBreaks, CountsAsThePlainTextViewDoes) {
    const std::string texts[] = {"",
                                 "plain",
                                 "\n",
                                 "\r",
                                 "\r\n",
                                 "\n\r",
                                 "\r\r\n\n",
                                 "a\xE2\x80\xA9"
                                 "b",
                                 "a\xE2\x80\xA8"
                                 "b" /* a line separator stays in its block */,
                                 "\xEF\xB7\x90\xEF\xB7\x91",
                                 "\xEF\xB7\x92",
                                 "end\r"};
    for (const std::string& text : texts) {
        QPlainTextEdit view;
        view.insertPlainText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        EXPECT_EQ(textBlockBreaks(text), view.blockCount() - 1) << testing::PrintToString(text);
    }
}

} // namespace
} // namespace tavrel::test

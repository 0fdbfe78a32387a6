// Finding in the event log with real key presses: Ctrl+F, typing, Enter and Shift+Enter, match case,
// Escape, Ctrl+C; the window's key filter still keeps Escape and Enter from closing it.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "tests/ui/window_fixture.h"
#include "ui/find_bar.h"

namespace tavrel::test {
namespace {

class FindInEventLog : public MonitorWindowTest {
protected:
    void SetUp() override {
        open(71);
        window->eventLog().clearView();
        for (const char* line :
             {"ALARM Rx PLL raised", "Tx pll locked", "nothing here", "ALARM Tx PLL raised"})
            window->session().appendEvent(line);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        viewText(*window);
    }

    FindBar& bar() const { return *window->findBar(); }
    QPlainTextEdit& view() const { return *window->eventLogView(); }
    std::string selected() const { return view().textCursor().selectedText().toStdString(); }
    int selectedLine() const { return view().textCursor().blockNumber(); }
    std::string count() const { return bar().countLabel()->text().toStdString(); }
};

TEST_F(FindInEventLog, CtrlFTypingAndEnterHighlightAndStepThroughTheMatches) {
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar().isVisible());
    EXPECT_TRUE(bar().field()->hasFocus());
    EXPECT_GT(bar().geometry().top(), view().mapTo(window.get(), QPoint(0, view().height())).y() - 1)
        << "under the view";

    QTest::keyClicks(bar().field(), "pll");
    EXPECT_EQ(bar().matchCount(), 3u);
    EXPECT_EQ(view().extraSelections().size(), 3);
    EXPECT_EQ(count(), "3 matches");
    QTest::mouseClick(bar().matchCaseCheck(), Qt::LeftButton);
    EXPECT_EQ(bar().matchCount(), 1u);
    EXPECT_EQ(count(), "1 match");
    QTest::keyClicks(bar().field(), "x");
    EXPECT_EQ(count(), "No match");
    QTest::keyClick(bar().field(), Qt::Key_Backspace);
    QTest::keyClick(bar().field(), Qt::Key_Backspace);
    QTest::keyClick(bar().field(), Qt::Key_Backspace);
    QTest::keyClick(bar().field(), Qt::Key_Backspace);
    QTest::keyClicks(bar().field(), "PLL");
    EXPECT_EQ(bar().matchCount(), 2u);
    bar().matchCaseCheck()->setChecked(false);
    ASSERT_EQ(bar().matchCount(), 3u);

    // The caret starts at the end: Enter wraps to the first match, Shift+Enter goes back.
    struct Step {
        Qt::KeyboardModifiers modifiers;
        int line; // of the view
        std::string selected;
        std::string count;
    };
    const std::vector<Step> steps{
        {Qt::NoModifier, 0, "PLL", "1 of 3"},    {Qt::NoModifier, 1, "pll", "2 of 3"},
        {Qt::NoModifier, 3, "PLL", "3 of 3"},    {Qt::NoModifier, 0, "PLL", "1 of 3"},
        {Qt::ShiftModifier, 3, "PLL", "3 of 3"}, {Qt::ShiftModifier, 1, "pll", "2 of 3"},
    };
    for (const Step& step : steps) {
        QTest::keyClick(bar().field(), Qt::Key_Return, step.modifiers);
        EXPECT_EQ(selectedLine(), step.line);
        EXPECT_EQ(selected(), step.selected);
        EXPECT_EQ(count(), step.count);
    }
    QTest::keyClick(bar().field(), Qt::Key_Enter); // the keypad's Enter as well
    EXPECT_EQ(selectedLine(), 3);
    EXPECT_TRUE(window->isVisible());

    // New lines go in below while the match stays selected; the matches are looked up again.
    window->session().appendEvent("ALARM DC Volt raised, PLL fine");
    viewText(*window);
    EXPECT_EQ(selectedLine(), 3);
    EXPECT_EQ(selected(), "PLL");
    bar().refresh(); // the refresh timer's handler
    EXPECT_EQ(bar().matchCount(), 4u);
    EXPECT_EQ(count(), "3 of 4");

    // Ctrl+C in the field, which has no selection of its own, copies the view's.
    QApplication::clipboard()->clear();
    QTest::keyClick(bar().field(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "PLL");
}

TEST_F(FindInEventLog, EscapeClosesTheBarButNeverTheWindowAndCtrlCCopiesTheViewsSelection) {
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(bar().field(), "raised");
    QTest::keyClick(bar().field(), Qt::Key_Return);
    ASSERT_EQ(selected(), "raised");

    QTest::keyClick(bar().field(), Qt::Key_Escape);
    EXPECT_FALSE(bar().isVisible());
    EXPECT_TRUE(view().extraSelections().isEmpty()) << "highlights go with the bar";
    EXPECT_TRUE(view().hasFocus());
    EXPECT_TRUE(window->isVisible());
    for (const auto key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(&view(), key);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->result(), 0);

    QApplication::clipboard()->clear();
    QTest::keyClick(&view(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "raised");

    // Closed, the view follows new lines to the bottom again.
    window->session().appendEvent("newest");
    viewText(*window);
    EXPECT_EQ(view().textCursor().block().text().toStdString(), "");
    EXPECT_EQ(view().textCursor().blockNumber(), view().blockCount() - 1);
}

} // namespace
} // namespace tavrel::test

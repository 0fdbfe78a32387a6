// The event-log view: the session's stamped lines shown at the end of the window's text view.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string_view>

#include <QString>

class QPlainTextEdit;
class QTimer;

namespace tavrel {

class AppendingTextLayout;
class SteadyScrollBar;

// The view's speed mechanisms, which can be switched off so that the bench can measure their gain.
struct EventLogTuning {
    bool batchLines = true; // while the view is shown, new lines wait for a tick and go in together
    // The scroll bar repaints only when its handle or the state of its parts changes (SteadyScrollBar).
    bool steadyScrollBar = true;
    // New lines repaint the view only from the first changed line down (AppendingTextLayout).
    bool repaintNewLinesOnly = true;
};

class EventLog {
public:
    // The view is emptied before an append once it holds more lines than this (its empty last line counted).
    static constexpr int kMaxViewLines = 1999;
    // A shown view lays out, scrolls and repaints for every insertion, which costs far more than filing a
    // line, so while it is shown new lines go into it together at most this often.
    static constexpr std::chrono::milliseconds kShowPendingPeriod{50};
    using MonotonicClock = std::function<std::chrono::steady_clock::time_point()>;

    explicit EventLog(QPlainTextEdit& view);
    EventLog(const EventLog&) = delete; // the tick calls back into this object
    EventLog& operator=(const EventLog&) = delete;
    ~EventLog();

    // Shows the stamped line as plain text on a line of its own at the end of the view and scrolls to the
    // bottom: at once while the view is hidden or has taken no lines for a period, otherwise at the tick
    // that ends the period. Window thread only.
    void appendLine(std::string_view stampedLine);
    // Empties the view, lines still waiting for the tick included; the run log keeps every line.
    void clearView();

    // The tick: puts the lines appended since the previous tick into the view, emptying it first where the
    // line rule struck in between, and asks for one scroll to the bottom.
    void showPendingLines();

    // The time the period is measured in; steady_clock unless a test sets its own.
    void setMonotonicClock(MonotonicClock clock) { m_monotonic = std::move(clock); }
    void setTuning(const EventLogTuning& tuning);
    // While held (the find bar is open), new lines still go in at the end, but the operator's caret,
    // selection and scroll position stay where they are.
    void holdPlace(bool hold) { m_holdPlace = hold; }

private:
    // Repaints the view from the line holding the document position down.
    void repaintFrom(int position);

    QPlainTextEdit& m_view;
    AppendingTextLayout* m_layout = nullptr; // owned by the view's document
    QTimer* m_tick = nullptr;                // owned by the view
    SteadyScrollBar* m_scrollBar = nullptr;  // owned by the view

    EventLogTuning m_tuning;
    std::deque<QString> m_pending;    // lines not yet in the view, each with its block break
    std::optional<int> m_repaintFrom; // where the text just inserted begins, to be repainted from
    bool m_emptyFirst = false;        // the line rule struck since the last tick
    bool m_holdPlace = false;
    int m_lines = 1; // the view's line count once the pending lines are in
    MonotonicClock m_monotonic = [] { return std::chrono::steady_clock::now(); };
    std::chrono::steady_clock::time_point m_lastShown{}; // when lines last went into the view
};

} // namespace tavrel

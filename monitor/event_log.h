// The event log: stamped lines shown at the end of the window's view and appended to the run log.
#pragma once

#include <string_view>

#include "monitor/run_files.h"
#include "monitor/stamped_time.h"

class QPlainTextEdit;

namespace tavrel {

class EventLog {
public:
    // The view is emptied before an append once it holds more lines than this (its empty last line counted).
    static constexpr int kMaxViewLines = 1999;

    EventLog(QPlainTextEdit& view, const RunFiles& files, StampClock clock);

    // Stamps the text with the current time, shows it as plain text on a line of its own, scrolls to the
    // bottom and appends it to the run log. Window thread only.
    void appendEvent(std::string_view text);
    // Empties the view; the run log keeps every line.
    void clearView();

private:
    QPlainTextEdit& m_view;
    const RunFiles& m_files;
    StampClock m_clock;
};

} // namespace tavrel

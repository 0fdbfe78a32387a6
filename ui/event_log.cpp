// Appending to the event-log view and the run log, in the order the operator and the file expect.
#include "ui/event_log.h"

#include <algorithm>
#include <utility>

#include <QMetaObject>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

#include "ui/steady_scroll_bar.h"
#include "ui/text_blocks.h"

namespace tavrel {

EventLog::EventLog(QPlainTextEdit& view)
    : m_view(view), m_tick(new QTimer(&view)), m_scrollBar(new SteadyScrollBar(Qt::Vertical)),
      m_lines(view.blockCount()) {
    view.setVerticalScrollBar(m_scrollBar);
    m_tick->setSingleShot(true);
    QObject::connect(m_tick, &QTimer::timeout, &view, [this] { showPendingLines(); });
    setTuning(m_tuning);
}

void EventLog::setTuning(const EventLogTuning& tuning) {
    m_tuning = tuning;
    m_scrollBar->setSteady(tuning.steadyScrollBar);
}

EventLog::~EventLog() {
    m_tick->stop(); // the view, and with it the tick, outlives this object for a moment
}

void EventLog::appendLine(std::string_view line) {
    // The rule applies to the view as it stands once every earlier line is in, pending ones included.
    if (m_lines > kMaxViewLines) {
        m_emptyFirst = true; // emptied whole, never trimmed
        m_pending.clear();
        m_lines = 1;
    }

    QString pending = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    // The line ends in a block break of its own, so that a "\r" at its end does not pair up with the break
    // into one, just as when the line and its "\n" are inserted one after the other.
    pending.append(QChar::ParagraphSeparator);
    m_pending.push_back(std::move(pending));
    m_lines += textBlockBreaks(line) + 1;

    if (m_tick->isActive())
        return; // the tick takes this line with the others
    const auto sinceShown = m_monotonic() - m_lastShown;
    if (!m_tuning.batchLines || !m_view.isVisible() || sinceShown >= kShowPendingPeriod) {
        showPendingLines(); // a hidden view is not laid out or painted, so this is cheap
    } else {
        m_tick->start(std::chrono::ceil<std::chrono::milliseconds>(kShowPendingPeriod - sinceShown));
    }
}

void EventLog::showPendingLines() {
    m_tick->stop();
    m_lastShown = m_monotonic();
    if (std::exchange(m_emptyFirst, false))
        m_view.clear();
    if (m_pending.empty())
        return;

    QString lines;
    for (const QString& line : m_pending)
        lines.append(line);
    m_pending.clear();
    if (m_holdPlace) {
        // Held, the lines go in through a cursor of their own, leaving the view's caret and selection alone.
        QTextCursor tail(m_view.document());
        tail.movePosition(QTextCursor::End);
        tail.insertText(lines);
    } else {
        m_view.moveCursor(QTextCursor::End);
        m_view.insertPlainText(lines);
    }
    m_lines = m_view.blockCount(); // the count kept line by line, confirmed by the view

    // Queued, so the scroll happens after the view has laid out the new text.
    QPlainTextEdit* view = &m_view;
    if (!m_holdPlace)
        QMetaObject::invokeMethod(
            view, [view] { view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum()); },
            Qt::QueuedConnection);
}

void EventLog::clearView() {
    m_tick->stop();
    m_pending.clear();
    m_emptyFirst = false;
    m_view.clear();
    m_lines = m_view.blockCount();
}

} // namespace tavrel

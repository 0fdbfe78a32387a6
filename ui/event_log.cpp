// Appending to the event-log view and the run log, in the order the operator and the file expect.
#include "ui/event_log.h"

#include <algorithm>
#include <utility>

#include <QMetaObject>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include "ui/text_blocks.h"

namespace tavrel {
namespace {

// Keeps a widget's update requests from being recorded while it lives, without the full repaint that
// re-enabling updates through setUpdatesEnabled() would ask for.
class ViewportPaintHold {
public:
    ViewportPaintHold(QWidget& widget, bool hold) : m_widget(widget), m_hold(hold) {
        if (m_hold)
            m_widget.setAttribute(Qt::WA_UpdatesDisabled, true);
    }
    ~ViewportPaintHold() {
        if (m_hold)
            m_widget.setAttribute(Qt::WA_UpdatesDisabled, false);
    }
    ViewportPaintHold(const ViewportPaintHold&) = delete;
    ViewportPaintHold& operator=(const ViewportPaintHold&) = delete;

private:
    QWidget& m_widget;
    const bool m_hold;
};

} // namespace

EventLog::EventLog(QPlainTextEdit& view)
    : m_view(view), m_tick(new QTimer(&view)), m_lines(view.blockCount()) {
    m_tick->setSingleShot(true);
    QObject::connect(m_tick, &QTimer::timeout, &view, [this] { showPendingLines(); });
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
    const bool emptied = std::exchange(m_emptyFirst, false);
    if (emptied)
        m_view.clear();
    if (m_pending.empty())
        return;

    QWidget* viewport = m_view.viewport();
    QScrollBar* bar = m_view.verticalScrollBar();
    // Following the log at the bottom, the lines already shown only move up, which the view can copy on
    // screen; but a change of its text makes it paint everything visible again. So it is kept from doing
    // that here, and only what the new lines change is painted after the scroll.
    const bool following = m_tuning.holdPaint && !m_holdPlace && !emptied && viewport->updatesEnabled() &&
                           bar->value() == bar->maximum();
    const QTextBlock firstChanged = m_view.document()->lastBlock(); // the new text starts in it

    // Held, the lines go in through a cursor of their own, leaving the view's caret and selection alone.
    QTextCursor tail;
    if (m_holdPlace) {
        tail = QTextCursor(m_view.document());
        tail.movePosition(QTextCursor::End);
    } else {
        m_view.moveCursor(QTextCursor::End);
    }
    {
        ViewportPaintHold hold(*viewport, following);
        // Laying out a line costs tens of microseconds; a sender waiting meanwhile would wait for all of
        // them, so the lines go in a few at a time and the rest waits while the window thread is wanted.
        do {
            if (m_holdPlace)
                tail.insertText(takePendingLines());
            else
                m_view.insertPlainText(takePendingLines());
        } while (!m_pending.empty() && !m_workWaiting());
    }
    if (m_pending.empty())
        m_lines = m_view.blockCount(); // the count kept line by line, confirmed by the view

    if (following) {
        bar->setValue(bar->maximum());
        // From the block the new text went into down to the new last line; below it the view is empty.
        const int top = std::max(0, m_view.cursorRect(QTextCursor(firstChanged)).top());
        const QTextCursor end(m_view.document()->lastBlock());
        const int bottom = std::min(viewport->height(), m_view.cursorRect(end).bottom() + 1);
        if (top < bottom)
            viewport->update(0, top, viewport->width(), bottom - top);
    }

    // Queued, so the scroll happens after the view has laid out the new text.
    QPlainTextEdit* view = &m_view;
    if (!m_holdPlace)
        QMetaObject::invokeMethod(
            view, [view] { view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum()); },
            Qt::QueuedConnection);

    if (!m_pending.empty())
        m_tick->start(0); // the rest once the waiting work is done
}

QString EventLog::takePendingLines() {
    QString lines;
    const std::size_t turn = m_tuning.takeTurns ? kLinesPerInsertion : m_pending.size();
    for (std::size_t taken = 0; taken < turn && !m_pending.empty(); ++taken) {
        lines.append(m_pending.front());
        m_pending.pop_front();
    }
    return lines;
}

void EventLog::clearView() {
    m_tick->stop();
    m_pending.clear();
    m_emptyFirst = false;
    m_view.clear();
    m_lines = m_view.blockCount();
}

} // namespace tavrel

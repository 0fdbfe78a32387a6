// Appending to the event-log view and the run log, in the order the operator and the file expect.
#include "ui/event_log.h"

#include <algorithm>
#include <utility>

#include <QMetaObject>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include "ui/appending_text_layout.h"
#include "ui/steady_scroll_bar.h"
#include "ui/text_blocks.h"

namespace tavrel {

EventLog::EventLog(QPlainTextEdit& view)
    : m_view(view), m_tick(new QTimer(&view)), m_scrollBar(new SteadyScrollBar(Qt::Vertical)) {
    // The view's own document, set up as the view sets up its first one, with the layout that leaves the
    // repaint of new lines to this object.
    auto* document = new QTextDocument(&view);
    m_layout = new AppendingTextLayout(document);
    m_layout->setPaintDevice(view.viewport());
    document->setDocumentLayout(m_layout);
    document->setDefaultFont(view.font());
    view.setDocument(document);
    m_lines = view.blockCount();
    view.setVerticalScrollBar(m_scrollBar);
    m_tick->setSingleShot(true);
    QObject::connect(m_tick, &QTimer::timeout, &view, [this] { showPendingLines(); });
    setTuning(m_tuning);
}

void EventLog::setTuning(const EventLogTuning& tuning) {
    m_tuning = tuning;
    m_scrollBar->setSteady(tuning.steadyScrollBar);
    if (tuning.repaintNewLinesOnly)
        m_layout->setAppendHandler([this](int position) {
            m_repaintFrom = m_repaintFrom ? std::min(*m_repaintFrom, position) : position;
        });
    else
        m_layout->setAppendHandler(nullptr);
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
        // The caret is normally still at the end from the previous lines; moving it lays out its line.
        const QTextCursor caret = m_view.textCursor();
        if (!caret.atEnd() || caret.hasSelection())
            m_view.moveCursor(QTextCursor::End);
        m_view.insertPlainText(lines);
    }
    m_lines = m_view.blockCount(); // the count kept line by line, confirmed by the view
    if (m_repaintFrom)
        repaintFrom(*std::exchange(m_repaintFrom, std::nullopt));

    // Queued, so the scroll happens after the view has laid out the new text.
    QPlainTextEdit* view = &m_view;
    if (!m_holdPlace)
        QMetaObject::invokeMethod(
            view, [view] { view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum()); },
            Qt::QueuedConnection);
}

void EventLog::repaintFrom(int position) {
    // From the top of the block, as a line added to a block can wrap the block's earlier lines anew. The
    // scroll to the end that follows moves these pixels and what is to be repainted up together.
    // A cursor made at a block's start, not moved there, as moving one lays out its line to find its x.
    const QTextCursor start(m_view.document()->findBlock(position));
    QWidget* viewport = m_view.viewport();
    const int top = std::max(0, m_view.cursorRect(start).top() - 1);
    if (top < viewport->height())
        viewport->update(0, top, viewport->width(), viewport->height() - top);
}

void EventLog::clearView() {
    m_tick->stop();
    m_pending.clear();
    m_emptyFirst = false;
    m_view.clear();
    m_lines = m_view.blockCount();
}

} // namespace tavrel

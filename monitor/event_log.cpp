// Appending to the event-log view and the run log, in the order the operator and the file expect.
#include "monitor/event_log.h"

#include <utility>

#include <QMetaObject>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace tavrel {

EventLog::EventLog(QPlainTextEdit& view, const RunFiles& files, StampClock clock)
    : m_view(view), m_files(files), m_clock(std::move(clock)) {}

void EventLog::appendEvent(std::string_view text) {
    if (m_view.blockCount() > kMaxViewLines)
        m_view.clear(); // emptied whole, never trimmed

    m_view.moveCursor(QTextCursor::End);
    const std::string line = formatStampedLine(m_clock(), text);
    m_view.insertPlainText(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    m_view.insertPlainText(QStringLiteral("\n"));

    // Queued, so the scroll happens after the view has laid out the new text.
    QPlainTextEdit* view = &m_view;
    QMetaObject::invokeMethod(
        view, [view] { view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum()); },
        Qt::QueuedConnection);

    m_files.appendRunLog(line); // silent when the file cannot be opened
}

void EventLog::clearView() {
    m_view.clear();
}

} // namespace tavrel

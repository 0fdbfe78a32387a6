#include "ui/appending_text_layout.h"

#include <QSignalBlocker>
#include <QTextDocument>

namespace tavrel {

AppendingTextLayout::AppendingTextLayout(QTextDocument* document) : QPlainTextDocumentLayout(document) {}

void AppendingTextLayout::documentChanged(int from, int charsRemoved, int charsAdded) {
    // The document always ends in the separator of its last block, which no insertion goes behind.
    const bool atEnd =
        charsRemoved == 0 && charsAdded > 0 && from + charsAdded == document()->characterCount() - 1;
    if (!m_onAppend || !atEnd) {
        QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
        return;
    }
    {
        // Qt's layout brings its block count and line layouts up to date and then asks for the repaint of
        // everything; its size change is told again below, once the blocker is gone.
        const QSignalBlocker quiet(this);
        QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
    }
    emit documentSizeChanged(documentSize());
    m_onAppend(from);
}

} // namespace tavrel

// The event-log view's text layout: text added at the end repaints only from where it went in.
#pragma once

#include <functional>

#include <QPlainTextDocumentLayout>

namespace tavrel {

// Qt's plain-text layout asks its view to repaint everything visible whenever a change adds a block. A view
// that follows a log would then shape and draw every visible line again for each new one, though only the
// lines from the first changed one down are new (the lines above move up by scrolling, which keeps their
// pixels). This layout leaves the repaint of a change that only adds text at the document's end to a
// handler, which is told where the text went in; every other change repaints as Qt's layout does.
class AppendingTextLayout : public QPlainTextDocumentLayout {
public:
    using AppendHandler = std::function<void(int position)>;

    explicit AppendingTextLayout(QTextDocument* document);

    // Without a handler, appends repaint everything visible too.
    void setAppendHandler(AppendHandler handler) { m_onAppend = std::move(handler); }

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    AppendHandler m_onAppend;
};

} // namespace tavrel

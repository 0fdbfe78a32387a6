// The status bar's labels, and the run log button that opens the log folder.
#include "ui/run_status_bar.h"

#include <algorithm>
#include <utility>

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QToolButton>
#include <QUrl>

namespace tavrel {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

RunStatusBar::RunStatusBar(QWidget* parent)
    : QStatusBar(parent), m_link(new QLabel(this)), m_counts(new QLabel(this)), m_via(new QLabel(this)),
      m_runLog(new QToolButton(this)), m_openFolder([](const QString& folder) {
          return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
      }) {
    setSizeGripEnabled(false);
    m_runLog->setAutoRaise(true);
    m_runLog->setFocusPolicy(Qt::NoFocus);
    m_runLog->setCursor(Qt::PointingHandCursor);
    m_runLog->setToolTip(QStringLiteral("Open the log folder"));
    addWidget(m_link);
    addWidget(m_via);
    m_via->hide();
    addWidget(m_counts);
    addPermanentWidget(m_runLog, 1);
    connect(m_runLog, &QToolButton::clicked, this,
            [this] { m_openFolder(QFileInfo(m_path).absoluteDir().absolutePath()); });
}

void RunStatusBar::showStatus(const RunStatus& status, WallClock::time_point now) {
    // Once a second: a label is set only when its text changed. A new text is laid out again (shaped, and
    // the bar with it), which costs more than the rest of an idle window's second, so the counts, which
    // change with nearly every log line, are shown at most every kCountsPeriod; the link's text changes
    // only while the link is down. The path's room is measured again only when a label's length changed.
    bool resized = false;
    const auto show = [&resized](QLabel* label, const QString& value) {
        if (label->text() == value)
            return;
        resized |= label->text().size() != value.size();
        label->setText(value);
    };
    show(m_link, text(formatLinkStatus(status, now)));
    if (m_counts->text().isEmpty() || now - m_countsShownAt >= kCountsPeriod - kTickSlack) {
        show(m_counts, text(formatRunCounts(status)));
        m_countsShownAt = now;
    }
    if (resized)
        showPath();
}

void RunStatusBar::setRunLogPath(const std::string& path) {
    if (m_path == text(path) && !m_path.isEmpty())
        return;
    m_path = text(path);
    m_runLog->setToolTip(QStringLiteral("Open the log folder of %1").arg(m_path));
    showPath();
}

void RunStatusBar::setVia(const std::string& endpoint) {
    m_via->setText(endpoint.empty() ? QString() : QStringLiteral("via %1").arg(text(endpoint)));
    m_via->setVisible(!endpoint.empty());
    showPath();
}

void RunStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    showPath();
}

void RunStatusBar::showPath() {
    // Whatever room the labels leave; the window's width is the event log's, never the path's.
    const int via = m_via->isVisible() ? m_via->sizeHint().width() : 0;
    const int room =
        std::max(60, width() - m_link->sizeHint().width() - via - m_counts->sizeHint().width() - 40);
    m_runLog->setText(m_runLog->fontMetrics().elidedText(m_path, Qt::ElideMiddle, room));
    m_runLog->setMaximumWidth(room + 16);
}

} // namespace tavrel

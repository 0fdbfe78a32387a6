// The main window's status bar: link state and since when, what this run has taken, the run log's path.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include <QStatusBar>

#include "session/run_status.h"

class QLabel;
class QToolButton;

namespace tavrel {

class RunStatusBar : public QStatusBar {
    Q_OBJECT
public:
    // Opens a folder in the desktop's file manager; false when it could not.
    using FolderOpener = std::function<bool(const QString& folder)>;

    explicit RunStatusBar(QWidget* parent = nullptr);

    // The counts are shown again at most this often. A tick that comes up to kTickSlack early still
    // shows them, so that a tick of this very period shows them every time.
    static constexpr std::chrono::seconds kCountsPeriod{5};
    static constexpr std::chrono::milliseconds kTickSlack{500};

    void showStatus(const RunStatus& status, WallClock::time_point now);
    // The path is shown (shortened in the middle when the bar is too narrow); a click opens its folder.
    // Setting the same path again does nothing.
    void setRunLogPath(const std::string& path);
    void setFolderOpener(FolderOpener opener) { m_openFolder = std::move(opener); }
    // "via HOST:PORT" while the link goes through a relay; nothing when the text is empty.
    void setVia(const std::string& endpoint);

    QLabel* linkLabel() const { return m_link; }
    QLabel* countsLabel() const { return m_counts; }
    QLabel* viaLabel() const { return m_via; }
    QToolButton* runLogButton() const { return m_runLog; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showPath();

    QLabel* m_link = nullptr;
    QLabel* m_counts = nullptr;
    QLabel* m_via = nullptr;
    WallClock::time_point m_countsShownAt{};
    QToolButton* m_runLog = nullptr;
    QString m_path;
    FolderOpener m_openFolder;
};

} // namespace tavrel

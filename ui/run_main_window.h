// Runs the main monitor window on a session of its own for one run.
#pragma once

#include <string>

#include "session/monitor_settings.h"

namespace tavrel {

// The process's exit code after the main window has been closed.
inline constexpr int kMainWindowExitCode = 0;

// Runs the main window modally as the view of a session that files into the log directory; once it is
// closed, the session's tasks are stopped and joined. Returns the process's exit code.
int runMainWindow(const MonitorSettings& settings, const std::string& logDirectory);

} // namespace tavrel

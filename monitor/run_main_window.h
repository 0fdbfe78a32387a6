// Runs the main monitor window for one run and shuts every task down cleanly afterwards.
#pragma once

#include <string>

#include "app/monitor_settings.h"

namespace tavrel {

// The process's exit code after the main window has been closed.
inline constexpr int kMainWindowExitCode = 0;

// Builds the O&M link and both receivers on the process-wide notification hub, runs the main window
// modally and, once it is closed, stops and joins every task. Returns the process's exit code.
int runMainWindow(const MonitorSettings& settings, const std::string& executableDir);

struct MonitorServices;

// After the window is gone: leaves the hub (releasing a task blocked handing over an event, dropping later
// ones), then stops and joins the link and both receivers, so none can wait on the window thread.
void stopMonitorTasks(MonitorServices& services);

} // namespace tavrel

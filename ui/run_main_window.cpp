// The main window's run: a session, its window run modally, then the session's orderly end.
#include "ui/run_main_window.h"

#include "session/repeater_session.h"
#include "ui/tavrel_dlg.h"

namespace tavrel {

int runMainWindow(const MonitorSettings& settings, const std::string& logDirectory) {
    RepeaterSession session(settings, logDirectory);
    {
        CTavrelDlg window(session);
        window.exec(); // ends as Cancel, by the close box
    }
    return kMainWindowExitCode; // the session leaves the hub, then stops and joins its tasks
}

} // namespace tavrel

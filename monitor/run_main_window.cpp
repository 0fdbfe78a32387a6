// The main window's run: services built, window run modally, then an orderly shutdown.
#include "monitor/run_main_window.h"

#include "monitor/tavrel_dlg.h"
#include "omlink/om_link.h"
#include "receivers/air_log_receiver.h"
#include "receivers/log_receiver.h"

namespace tavrel {

int runMainWindow(const MonitorSettings& settings, const std::string& executableDir) {
    NotificationHub& hub = notificationHub();
    OmLink omLink(hub);
    LogReceiver logReceiver(hub, omLink);
    AirLogReceiver airLogReceiver(hub);

    {
        CTavrelDlg window(MonitorServices{hub, omLink, logReceiver, airLogReceiver}, settings, executableDir);
        window.exec(); // ends as Cancel, by the close box
    }

    // No window any more: a task blocked handing over an event is released, later events are dropped,
    // so the joins below cannot wait on the window thread.
    hub.unregisterWindow();
    omLink.stopOmLink();
    logReceiver.stopLogReceiver();
    airLogReceiver.stopAirLogReceiver();
    airLogReceiver.join();
    logReceiver.join();
    omLink.join();
    return kMainWindowExitCode;
}

} // namespace tavrel

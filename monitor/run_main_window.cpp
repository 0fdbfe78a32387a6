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

    MonitorServices services{hub, omLink, logReceiver, airLogReceiver};
    {
        CTavrelDlg window(services, settings, executableDir);
        window.exec(); // ends as Cancel, by the close box
    }
    stopMonitorTasks(services);
    return kMainWindowExitCode;
}

void stopMonitorTasks(MonitorServices& services) {
    services.hub.unregisterWindow();
    services.omLink.stopOmLink();
    services.logReceiver.stopLogReceiver();
    services.airLogReceiver.stopAirLogReceiver();
    services.airLogReceiver.join();
    services.logReceiver.join();
    services.omLink.join();
}

} // namespace tavrel

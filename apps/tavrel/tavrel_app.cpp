// Start-up in order: instance slot, executable and log directories, setup dialog, main window.
#include "apps/tavrel/tavrel_app.h"

#include <cstdio>

#include "platform/log_directory.h"
#include "ui/message_boxes.h"

namespace tavrel {

CTavrelApp::CTavrelApp(std::string lockPrefix, SetupDlgServices services)
    : reportProblem(
          [](const std::string& problem) { std::fprintf(stderr, "tavrel: %s\n", problem.c_str()); }),
      m_lockPrefix(std::move(lockPrefix)), m_services(std::move(services)) {}

std::optional<int> CTavrelApp::instanceSlot() const {
    if (!m_slot)
        return std::nullopt;
    return m_slot->slot;
}

MessageBoxes& CTavrelApp::messageBoxes() const {
    return m_services.messageBoxes ? *m_services.messageBoxes : systemMessageBoxes();
}

int CTavrelApp::run() {
    for (const std::string& problem : prefill.problems)
        reportProblem(problem);
    m_slot = claimInstanceSlot(m_lockPrefix);
    if (!m_slot) {
        messageBoxes().inform(nullptr, QString::fromLatin1(kTooManyInstancesMessage));
        return kExitTooManyInstances;
    }

    const LogPlaces places = LogPlaces::current();
    m_executableDir = places.executableDir;
    m_logDirectory = chooseLogDirectory(places);

    MonitorSettings settings;
    {
        CSetupDlg setup(m_slot->slot, m_services);
        for (const std::string& problem : setup.prefill(prefill))
            reportProblem(problem);
        if (setup.exec() != QDialog::Accepted)
            return kExitSuccess;
        settings = setup.settings();
    }
    if (!viaAddress.empty()) {
        settings.viaAddress = viaAddress;
        settings.viaPort = viaPort;
    }

    if (!runMainWindow)
        return kExitSuccess;
    return runMainWindow(settings, m_logDirectory);
}

} // namespace tavrel

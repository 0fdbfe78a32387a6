// The application: claims an instance slot, chooses the log directory, then runs the setup and main windows.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/named_lock.h"
#include "session/monitor_settings.h"
#include "ui/setup_dlg.h"

namespace tavrel {

class CTavrelApp {
public:
    static constexpr char kTooManyInstancesMessage[] = "!!!Too many monitor is running";
    static constexpr int kExitSuccess = 0;
    static constexpr int kExitTooManyInstances = 1;

    // Runs the main monitor window modally for one run and returns the process's exit code.
    using MainWindowRunner =
        std::function<int(const MonitorSettings& settings, const std::string& logDirectory)>;

    // lockPrefix names the instance locks (prefix + slot number); tests pass a prefix of their own.
    explicit CTavrelApp(std::string lockPrefix = std::string(kInstanceLockPrefix),
                        SetupDlgServices services = SetupDlgServices::system());

    // The whole program, from the slot claim to the last window closing. Needs a QApplication; starts no
    // event loop of its own. Returns the process's exit code.
    int run();

    // The main monitor window, run after "Continue". While none is set, "Continue" ends the program
    // cleanly with kExitSuccess.
    MainWindowRunner runMainWindow;
    // Values for the setup dialog from the command line.
    SetupPrefill prefill;
    // The relay the O&M link goes through (--via); empty address: the repeater's own port.
    std::string viaAddress;
    std::uint16_t viaPort = 0;
    // Tells the operator of a bad command-line value; by default on standard error.
    std::function<void(const std::string& problem)> reportProblem;

    std::optional<int> instanceSlot() const;
    const std::string& executableDir() const { return m_executableDir; }
    const std::string& logDirectory() const { return m_logDirectory; }

private:
    MessageBoxes& messageBoxes() const;

    std::string m_lockPrefix;
    SetupDlgServices m_services;
    // Held for the life of the application object, which lives as long as main().
    std::optional<InstanceSlotClaim> m_slot;
    std::string m_executableDir;
    std::string m_logDirectory;
};

} // namespace tavrel

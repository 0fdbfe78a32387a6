// The setup dialog: collects the monitor settings of a run and warns about running beside the Corvelle.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "session/monitor_settings.h"
#include "ui/dialog_key_filter.h"
#include "ui/setup_prefill.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tavrel {

class Ipv4Edit;
class MessageBoxes;

// What the dialog takes from the system; tests replace each piece.
struct SetupDlgServices {
    // Readies the sockets; false when the network cannot be used. Linux sockets need no start-up.
    std::function<bool()> startNetwork = [] { return true; };
    // The local IPv4 addresses offered as the monitor's receive address, in order.
    std::function<std::vector<std::string>()> localAddresses;
    // Null: the real message boxes.
    MessageBoxes* messageBoxes = nullptr;

    // The real ones: localIPv4Addresses() and QMessageBox.
    static SetupDlgServices system();
};

class CSetupDlg : public KeyFilteredDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 129;
    static constexpr int kIdRepeaterAddress = 1000;
    static constexpr int kIdMonitorRxPort = 1002;
    static constexpr int kIdLocalAddress = 1003;
    static constexpr int kIdContinue = 1004;
    static constexpr int kIdQuit = 1005;
    static constexpr int kIdAirLogRxPort = 1006;
    // Size of the dialog's client area in dialog units.
    static constexpr int kWidthUnits = 182;
    static constexpr int kHeightUnits = 90;

    static constexpr char kCaption[] = "Setup parameters";
    static constexpr char kNetworkFailedMessage[] = "Fail to initiate network environment";
    // The first line of the message that lists the command line's bad values, one a line.
    static constexpr char kNotTakenMessage[] = "Not taken from the command line:";
    static constexpr char kCorvelleWarning[] =
        "This tool can't control the same repeater with the Corvelle at the same time.\n"
        "Please close the Corvelle before running this monitor tool, and close the monitor\n"
        "tool before running the Corvelle, otherwise unexpected error will occure.";

    // Builds the controls and runs the initialisation up to the default ports; the warning follows as soon
    // as the dialog is shown.
    explicit CSetupDlg(int instanceSlot, SetupDlgServices services = SetupDlgServices::system(),
                       QWidget* parent = nullptr);

    // Fills the fields from the command line; "Continue" still checks them. The given problems, and those
    // found here (a local address that is not in the list), are shown in a message box after the warning.
    // Returns the problems found here.
    std::vector<std::string> prefill(const SetupPrefill& values);

    // The values stored by the last "Continue"; complete and checked once the dialog ended with Accepted.
    const MonitorSettings& settings() const { return m_settings; }

    // The control with the given id, or null.
    QWidget* control(int id) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void routeCommands();
    bool startNetwork();
    void fillLocalAddresses();
    void copyLocalAddressToRepeater();
    void proposeDefaultPorts();
    void warnAboutCorvelle();

    void onLocalAddressSelected();
    void onContinue();
    void onQuit();

    int m_instanceSlot = 0;
    SetupDlgServices m_services;
    MessageBoxes* m_messageBoxes = nullptr;
    MonitorSettings m_settings;
    bool m_networkReady = false;
    bool m_warningScheduled = false;
    std::vector<std::string> m_prefillProblems;

    std::vector<std::pair<int, QWidget*>> m_controls;
    Ipv4Edit* m_repeaterAddress = nullptr;
    QLineEdit* m_monitorRxPort = nullptr;
    QComboBox* m_localAddress = nullptr;
    QPushButton* m_continue = nullptr;
    QLineEdit* m_airLogRxPort = nullptr;
};

} // namespace tavrel

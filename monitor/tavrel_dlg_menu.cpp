// The main window's menu commands: the guard of the menu table, then what each kind of item does.
#include "monitor/tavrel_dlg.h"

#include "monitor/about_dlg.h"
#include "monitor/air_log_dlg.h"
#include "monitor/pll_param_dlg.h"
#include "omlink/om_commands.h"
#include "receivers/air_log_receiver.h"

namespace tavrel {

void CTavrelDlg::onMenuCommand(int id) {
    // As a system command: the low four bits are the window manager's, 16 is About.
    if ((id & 0xFFF0) == command::kAbout) {
        CAboutDlg about(this);
        about.exec();
        return;
    }
    if (const MenuItem* item = findMenuItem(id))
        runMenuItem(*item, m_connected, *this);
}

void CTavrelDlg::sendCommand(std::string_view text) {
    om::sendCommand(m_services.omLink, text);
}

void CTavrelDlg::switchChannel(int channel) {
    om::sendSwitchChannel(m_services.omLink, channel);
}

void CTavrelDlg::setPll(om::PllTarget target) {
    CPLLParamDlg dialog(target, this);
    if (dialog.exec() == QDialog::Accepted)
        om::sendSetPll(m_services.omLink, target, dialog.operation(), dialog.frequency());
}

void CTavrelDlg::airLogOn() {
    om::sendAirLogOn(m_services.omLink, m_services.airLogReceiver.address(),
                     m_services.airLogReceiver.port());
    m_airLogDlg->clearLists();
    // Shown again even when the operator minimised it with its close box.
    m_airLogDlg->setWindowState(m_airLogDlg->windowState() & ~Qt::WindowMinimized);
    m_airLogDlg->show();
    m_airLogDlg->raise();
}

void CTavrelDlg::airLogOff() {
    om::sendAirLogOff(m_services.omLink);
    m_airLogDlg->hide();
}

void CTavrelDlg::clearLog() {
    m_eventLog.clearView();
}

} // namespace tavrel

// The main window's menu commands: the guard of the menu table, then what each kind of item does.
#include "ui/tavrel_dlg.h"

#include "protocol/om_commands.h"
#include "ui/about_dlg.h"
#include "ui/air_log_dlg.h"
#include "ui/pll_param_dlg.h"

namespace tavrel {

void CTavrelDlg::onMenuCommand(int id) {
    // As a system command: the low four bits are the window manager's, 16 is About.
    if ((id & 0xFFF0) == command::kAbout) {
        CAboutDlg about(this);
        about.exec();
        return;
    }
    if (const MenuItem* item = findMenuItem(id))
        runMenuItem(*item, m_session.connected(), *this);
}

void CTavrelDlg::sendCommand(std::string_view text) {
    m_session.sendCommand(text);
}

void CTavrelDlg::switchChannel(int channel) {
    m_session.switchChannel(channel);
}

void CTavrelDlg::setPll(om::PllTarget target) {
    CPLLParamDlg dialog(target, this);
    if (dialog.exec() == QDialog::Accepted)
        m_session.setPll(target, dialog.operation(), dialog.frequency());
}

void CTavrelDlg::airLogOn() {
    m_session.airLogOn();
    m_airLogDlg->clearLists();
    m_airLogDlg->showBeside(*this);
}

void CTavrelDlg::airLogOff() {
    m_session.airLogOff();
    m_airLogDlg->hide();
}

void CTavrelDlg::clearLog() {
    m_eventLog.clearView();
}

} // namespace tavrel

// The main window's initialisation, timers and close.
#include "monitor/tavrel_dlg.h"

#include <cerrno>

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>

#include "app/message_boxes.h"
#include "monitor/air_log_dlg.h"
#include "monitor/monitor_texts.h"
#include "omlink/om_commands.h"
#include "omlink/om_link.h"
#include "platform/narrow_text.h"
#include "receivers/air_log_receiver.h"
#include "receivers/log_receiver.h"

namespace tavrel {

CTavrelDlg::CTavrelDlg(MonitorServices services, MonitorSettings settings, std::string executableDir,
                       QWidget* parent)
    : KeyFilteredDialog(parent), m_services(std::move(services)), m_settings(std::move(settings)),
      m_executableDir(std::move(executableDir)),
      m_clock(m_services.clock ? m_services.clock : StampClock(currentStampedTime)),
      m_view(new QPlainTextEdit(this)), m_eventLog(*m_view, m_runFiles, m_clock) {
    initialise();
}

CTavrelDlg::~CTavrelDlg() {
    // First of all, so that no sender waits on a window that is going away.
    if (m_registered)
        m_services.hub.unregisterWindow();
    stopTasks();
}

void CTavrelDlg::initialise() {
    createControls();
    createMenuBar(); // the About item lives at the end of the menu bar
    setWindowIcon(applicationIcon());
    setWindowTitle(QString::fromStdString(formatCaption(m_settings)));

    m_runFiles = RunFiles(m_executableDir, m_settings.repeaterAddress, m_clock());
    m_runFiles.createRunFiles(); // silent when the file cannot be created
    m_eventLog.setWorkWaiting([&hub = m_services.hub] { return hub.hasWaiting(); });
    m_eventLog.appendEvent(versionBanner());

    // Registered before the link starts, so its first status line is not dropped.
    m_services.hub.registerWindow(*this);
    m_registered = true;
    startLink();

    m_connected = false;
    m_receiversStarted = false;
    m_lamps.showAll(LampIcon::Off);
    showLamps();
    m_autoCheck->setChecked(true);
    m_lamps.setAlarmBits(0);
    m_airLogDlg = new CAirLogDlg(this);
    m_airLogDlg->hide();
}

void CTavrelDlg::startLink() {
    const std::string address = cutAddress(m_settings.repeaterAddress);
    errno = 0;
    const int result =
        m_services.startLink ? m_services.startLink(address) : m_services.omLink.startOmLink(address);
    const int systemError = errno;
    if (result == 0)
        return;
    const std::string message = formatLinkStartFailure(systemError, result);
    m_eventLog.appendEvent(message);
    MessageBoxes& boxes = m_services.messageBoxes ? *m_services.messageBoxes : systemMessageBoxes();
    boxes.inform(this, QString::fromStdString(message));
}

void CTavrelDlg::onTimer(int id) {
    switch (id) {
    case timer::kHeartbeat:
        if (m_connected)
            om::sendHeartbeat(m_services.omLink);
        else
            stopWindowTimer(timer::kHeartbeat);
        break;
    case timer::kLogDestination:
        om::sendLogDestination(m_services.omLink, m_services.logReceiver.address(),
                               m_services.logReceiver.port());
        break;
    case timer::kAlarmQuery:
        if (autoChecked())
            om::sendAlarmQuery(m_services.omLink);
        break;
    case timer::kLampPaint:
        m_lamps.paintTick(autoChecked());
        showLamps();
        break;
    default:
        break;
    }
}

void CTavrelDlg::showLamps() {
    for (std::size_t i = 0; i < m_lampButtons.size(); ++i) {
        const LampIcon icon = m_lamps.icons()[i];
        // Setting an unchanged icon still repaints the button and the view behind it, every 200 ms.
        if (m_lampsShown && m_shownLamps[i] == icon)
            continue;
        m_lampButtons[i]->setIcon(m_lampIcons.icon(icon));
        m_shownLamps[i] = icon;
    }
    m_lampsShown = true;
}

QTimer* CTavrelDlg::windowTimer(int id) const {
    const int index = id - timer::kFirst;
    return index >= 0 && index < timer::kCount ? m_timers[static_cast<std::size_t>(index)] : nullptr;
}

// Restarts a running timer with a full period, as starting an existing window timer does.
void CTavrelDlg::startWindowTimer(int id) {
    windowTimer(id)->start(timer::period(id));
}

void CTavrelDlg::stopWindowTimer(int id) {
    windowTimer(id)->stop();
}

void CTavrelDlg::stopAllTimers() {
    for (int id = timer::kFirst; id < timer::kFirst + timer::kCount; ++id)
        stopWindowTimer(id);
}

bool CTavrelDlg::timerActive(int id) const {
    const QTimer* t = windowTimer(id);
    return t && t->isActive();
}

bool CTavrelDlg::autoChecked() const {
    return m_autoCheck->isChecked();
}

void CTavrelDlg::stopTasks() {
    if (m_tasksStopped)
        return;
    m_tasksStopped = true;
    m_services.omLink.stopOmLink();
    if (m_receiversStarted) {
        m_services.logReceiver.stopLogReceiver();
        m_services.airLogReceiver.stopAirLogReceiver();
    }
}

void CTavrelDlg::reject() {
    stopTasks();
    // Later notifications are dropped by their senders, and any sender still waiting is released.
    if (m_registered) {
        m_services.hub.unregisterWindow();
        m_registered = false;
    }
    stopAllTimers();
    KeyFilteredDialog::reject();
}

} // namespace tavrel

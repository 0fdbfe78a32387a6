// The main window's initialisation, what it shows of the session, and its close.
#include "ui/tavrel_dlg.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>

#include "session/session_timers.h"

#include "ui/air_log_dlg.h"
#include "ui/desktop_tray.h"
#include "ui/message_boxes.h"
#include "ui/run_status_bar.h"

namespace tavrel {

CTavrelDlg::CTavrelDlg(RepeaterSession& session, MessageBoxes* messageBoxes, QWidget* parent)
    : KeyFilteredDialog(parent), m_session(session), m_messageBoxes(messageBoxes),
      m_view(new QPlainTextEdit(this)), m_eventLog(*m_view), m_notices(session.settings().repeaterAddress) {
    createControls();
    createMenuBar(); // the About item lives at the end of the menu bar
    createAttentionParts();
    setWindowIcon(applicationIcon());
    setWindowTitle(QString::fromStdString(formatCaption(m_session.settings())));

    m_session.addListener(*this);
    for (const std::string& failure : m_session.start()) {
        MessageBoxes& boxes = m_messageBoxes ? *m_messageBoxes : systemMessageBoxes();
        boxes.inform(this, QString::fromStdString(failure));
    }

    showLamps();
    connect(m_autoCheck, &QCheckBox::toggled, this, [this](bool on) { m_session.setAutoPolling(on); });
    m_autoCheck->setChecked(true);
    m_session.setAutoPolling(true);
    m_airLogDlg = new CAirLogDlg(this);
    m_airLogDlg->hide();
    // The run files' names are fixed when the session is made.
    m_statusBar->setRunLogPath(m_session.runFiles().runLogPath());
    if (const MonitorSettings& settings = m_session.settings(); !settings.viaAddress.empty())
        m_statusBar->setVia(settings.viaAddress + ":" + std::to_string(settings.viaPort));
    onStatusTick();
}

CTavrelDlg::~CTavrelDlg() {
    m_session.removeListener(*this);
}

void CTavrelDlg::onEventLine(std::string_view stampedLine) {
    m_eventLog.appendLine(stampedLine);
}

void CTavrelDlg::onAlarmState(std::int32_t bits) {
    m_lamps.applyReport(bits); // cleared alarms show Normal at once, set ones wait for the next paint tick
    lampsMayHaveChanged();
}

void CTavrelDlg::onLampTick() {
    m_lamps.paintTick(m_session.autoPolling());
    lampsMayHaveChanged();
}

void CTavrelDlg::lampsMayHaveChanged() {
    const bool mayBlink = m_session.connected() && (m_lamps.alarmBits() != 0 || !m_lampRest);
    if (!mayBlink)
        m_lampTimer->stop();
    else if (!m_lampTimer->isActive())
        m_lampTimer->start();
    if (m_lamps.icons() == m_paintedIcons)
        return;
    m_paintedIcons = m_lamps.icons();
    showLamps();
    showTray();
}

void CTavrelDlg::onAirLogRecord(bool downlink, std::string_view displayLine) {
    m_airLogDlg->addRecordLine(
        downlink ? 0 : 1, QString::fromUtf8(displayLine.data(), static_cast<qsizetype>(displayLine.size())));
}

void CTavrelDlg::showLamps() {
    const AlarmLamps& lamps = m_lamps;
    for (std::size_t i = 0; i < m_lampButtons.size(); ++i) {
        const LampIcon icon = lamps.icons()[i];
        // Setting an unchanged icon still repaints the button and the view behind it.
        if (m_lampsShown && m_shownLamps[i] == icon)
            continue;
        m_lampButtons[i]->setIcon(m_lampIcons.icon(icon));
        m_shownLamps[i] = icon;
    }
    m_lampsShown = true;
}

void CTavrelDlg::setLampRest(bool on) {
    m_lampRest = on;
    lampsMayHaveChanged();
}

void CTavrelDlg::reject() {
    m_session.stop();
    KeyFilteredDialog::reject();
}

} // namespace tavrel

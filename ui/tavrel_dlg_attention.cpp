// What calls the technician's attention in the main window: status bar, find bar, alarm history, tray.
#include "ui/tavrel_dlg.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "session/session_timers.h"
#include "ui/alarm_history_dlg.h"
#include "ui/desktop_tray.h"
#include "ui/find_bar.h"
#include "ui/run_status_bar.h"

namespace tavrel {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

// "alarm-history[<repeater>]_<run start>.csv" beside the run log.
std::string suggestedCsvPath(const RunFiles& files, const std::string& repeater) {
    const std::string& runLog = files.runLogPath();
    const auto slash = runLog.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : runLog.substr(0, slash + 1);
    const auto stamp = runLog.rfind('_');
    const auto dot = runLog.rfind('.');
    const std::string started = stamp != std::string::npos && dot != std::string::npos && dot > stamp
                                    ? runLog.substr(stamp, dot - stamp)
                                    : "";
    return folder + "alarm-history[" + repeater + "]" + started + ".csv";
}

} // namespace

void CTavrelDlg::createAttentionParts() {
    auto* layout = qobject_cast<QVBoxLayout*>(this->layout());
    // Neither bar may widen the window: it keeps the template's width.
    m_findBar = new FindBar(*m_view, this);
    m_findBar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    layout->addWidget(m_findBar);
    letDialogKeysThrough(m_findBar->field());
    connect(m_findBar, &FindBar::openChanged, this, [this](bool open) { m_eventLog.holdPlace(open); });

    m_statusBar = new RunStatusBar(this);
    m_statusBar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    layout->addWidget(m_statusBar);

    auto* find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    addAction(find);
    connect(find, &QAction::triggered, this, &CTavrelDlg::openFindBar);

    m_statusTick = new QTimer(this);
    m_statusTick->setInterval(kStatusPeriod);
    connect(m_statusTick, &QTimer::timeout, this, &CTavrelDlg::onStatusTick);
    m_statusTick->start();

    m_lampTimer = new QTimer(this);
    m_lampTimer->setObjectName(QStringLiteral("timer%1").arg(timer::kLampPaint));
    m_lampTimer->setInterval(timer::kLampPaintPeriod);
    connect(m_lampTimer, &QTimer::timeout, this, &CTavrelDlg::onLampTick);

    m_tray = SystemTray::create(*this);
    showTray();
}

void CTavrelDlg::setTraySink(std::unique_ptr<TraySink> tray) {
    m_tray = std::move(tray);
    m_trayPicture.reset();
    showTray();
}

void CTavrelDlg::onConnectionChanged(bool connected) {
    if (connected)
        m_lamps.onConnected(); // AlarmBits 0, lamps Normal, BlinkPhase 1
    else
        m_lamps.onDisconnected();
    lampsMayHaveChanged();
    notify(m_notices.onConnectionChanged(connected, m_session.now()));
    onStatusTick();
    paceStatusTick();
}

void CTavrelDlg::paceStatusTick() {
    const bool rest = m_statusRest && m_session.connected();
    const std::chrono::milliseconds period = rest ? RunStatusBar::kCountsPeriod : kStatusPeriod;
    if (m_statusTick->intervalAsDuration() != period)
        m_statusTick->start(period);
}

void CTavrelDlg::setStatusRest(bool on) {
    m_statusRest = on;
    paceStatusTick();
}

void CTavrelDlg::onAlarmTransition(const AlarmTransition& transition) {
    notify(m_notices.onAlarmTransition(transition));
    showTray(); // the tooltip names the alarms, the lamps change only at the next paint
    if (m_historyDlg)
        m_historyDlg->refresh();
}

void CTavrelDlg::onStatusTick() {
    const WallClock::time_point now = m_session.now();
    m_statusBar->showStatus(m_session.status(), now);
    notify(m_notices.onTick(now));
}

void CTavrelDlg::openFindBar() {
    m_findBar->open();
}

void CTavrelDlg::showTray() {
    if (!m_tray)
        return;
    const bool connected = m_session.connected();
    // The alarms as the last report had them, already updated when a transition is told.
    std::int32_t bits = 0;
    for (int lamp = 0; lamp < kLampCount; ++lamp)
        if (m_session.alarms().active(lamp))
            bits |= kLamps[static_cast<std::size_t>(lamp)].alarmBit;
    const TrayPicture picture = trayPicture(connected, bits);
    std::string toolTip = trayToolTip(m_session.settings().repeaterAddress, connected, bits);
    if (picture == m_trayPicture && toolTip == m_trayToolTip)
        return;
    m_trayPicture = picture;
    m_trayToolTip = std::move(toolTip);
    m_tray->show(picture, text(m_trayToolTip));
}

void CTavrelDlg::notify(const std::optional<TrayMessage>& message) {
    if (message && m_tray)
        m_tray->notify(*message);
}

void CTavrelDlg::showAlarmHistory() {
    if (!m_historyDlg)
        m_historyDlg =
            new CAlarmHistoryDlg(m_session.alarmHistory(),
                                 suggestedCsvPath(m_session.runFiles(), m_session.settings().repeaterAddress),
                                 m_messageBoxes, this);
    m_historyDlg->refresh();
    m_historyDlg->showBeside(*this);
}

void CTavrelDlg::toggleNotifications() {
    m_notices.setEnabled(!m_notices.enabled());
    if (m_notificationsAction)
        m_notificationsAction->setChecked(m_notices.enabled());
}

} // namespace tavrel

// The main monitor window: a view of one monitoring session. It renders the session's event-log lines,
// lamps and air-log records and forwards the operator's menu commands and "Auto" check to it.
#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "session/alarm_lamps.h"
#include "session/repeater_session.h"
#include "ui/dialog_key_filter.h"
#include "ui/event_log.h"
#include "ui/lamp_icons.h"
#include "ui/menu_table.h"
#include "ui/tray_rules.h"

class QAction;
class QCheckBox;
class QMenuBar;
class QPlainTextEdit;
class QTimer;
class QToolButton;

namespace tavrel {

class CAirLogDlg;
class CAlarmHistoryDlg;
class FindBar;
class MessageBoxes;
class RunStatusBar;
class TraySink;

class CTavrelDlg : public KeyFilteredDialog, public SessionListener, private MenuActions {
    Q_OBJECT
public:
    // Initialises at once: controls, caption, the session's start (run files, banner, O&M link; a link that
    // cannot start is also told in a message box), lamps, hidden air log window. Null boxes: real ones.
    explicit CTavrelDlg(RepeaterSession& session, MessageBoxes* messageBoxes = nullptr,
                        QWidget* parent = nullptr);
    ~CTavrelDlg() override;

    // How often the status bar and the tray's link-down notice look at the session.
    static constexpr std::chrono::milliseconds kStatusPeriod{1000};

    // SessionListener
    void onEventLine(std::string_view stampedLine) override;
    void onConnectionChanged(bool connected) override;
    void onAlarmState(std::int32_t bits) override;
    void onAlarmTransition(const AlarmTransition& transition) override;
    void onAirLogRecord(bool downlink, std::string_view displayLine) override;

    // Whether the lamp timer rests while no lamp blinks (the default); the bench switches the rest off to
    // measure what it saves: the timer then runs while the link is up, as it once did.
    void setLampRest(bool on);
    // While connected the status bar's tick slows down to the counts' period (on by default; off to measure
    // what it saves).
    void setStatusRest(bool on);
    // The status timer's handler: the status bar's texts, the tray's link-down notice.
    void onStatusTick();
    // The lamp timer's handler (timer 103, every 200 ms while an alarm is reported on a live link): alarmed
    // lamps alternate while "Auto" is on, else stay steady red.
    void onLampTick();
    // Ctrl+F.
    void openFindBar();
    // The tray in use instead of the system's (none when the desktop has no tray).
    void setTraySink(std::unique_ptr<TraySink> tray);
    bool notificationsEnabled() const { return m_notices.enabled(); }

    // Menu commands of the menu table, and the About command 16.
    void onMenuCommand(int id);

    RepeaterSession& session() const { return m_session; }
    // The lamps' state, and the picture a lamp button shows.
    const AlarmLamps& lamps() const { return m_lamps; }
    LampIcon lampIcon(int lamp) const { return m_shownLamps.at(static_cast<std::size_t>(lamp)); }

    QPlainTextEdit* eventLogView() const { return m_view; }
    QCheckBox* autoCheck() const { return m_autoCheck; }
    QToolButton* lampButton(int lamp) const { return m_lampButtons.at(static_cast<std::size_t>(lamp)); }
    QMenuBar* menuBar() const { return m_menuBar; }
    CAirLogDlg* airLogDlg() const { return m_airLogDlg; }
    // Made when first asked for.
    CAlarmHistoryDlg* alarmHistoryDlg() const { return m_historyDlg; }
    FindBar* findBar() const { return m_findBar; }
    RunStatusBar* runStatusBar() const { return m_statusBar; }
    EventLog& eventLog() { return m_eventLog; }

public slots:
    // The close box: the session stops (timers, tasks, hand-off), then the window ends as Cancel.
    void reject() override;

private:
    void createControls();
    void createMenuBar();
    void createAttentionParts();
    void showLamps();
    // Shows the lamps and the tray when a lamp's picture changed, and runs the lamp timer only while a lamp
    // may blink: an idle window is not woken five times a second.
    void lampsMayHaveChanged();
    // Connected, the bar's only changing text is the counts, and no tray notice can fall due: the status
    // tick then wakes the window once per counts period instead of every second.
    void paceStatusTick();
    void showTray();
    void notify(const std::optional<TrayMessage>& message);

    // MenuActions
    void sendCommand(std::string_view text) override;
    void switchChannel(int channel) override;
    void setPll(om::PllTarget target) override;
    void airLogOn() override;
    void airLogOff() override;
    void clearLog() override;
    void showAlarmHistory() override;
    void toggleNotifications() override;

    RepeaterSession& m_session;
    MessageBoxes* m_messageBoxes;

    QPlainTextEdit* m_view = nullptr;
    std::array<QToolButton*, kLampCount> m_lampButtons{};
    QCheckBox* m_autoCheck = nullptr;
    QMenuBar* m_menuBar = nullptr;
    CAirLogDlg* m_airLogDlg = nullptr;
    CAlarmHistoryDlg* m_historyDlg = nullptr;
    FindBar* m_findBar = nullptr;
    RunStatusBar* m_statusBar = nullptr;
    QTimer* m_statusTick = nullptr;
    QTimer* m_lampTimer = nullptr;
    bool m_lampRest = true;
    bool m_statusRest = true;
    QAction* m_notificationsAction = nullptr;

    EventLog m_eventLog;
    AlarmLamps m_lamps;
    std::array<LampIcon, kLampCount> m_paintedIcons = m_lamps.icons(); // as last shown and told
    LampIconSet m_lampIcons;
    std::array<LampIcon, kLampCount> m_shownLamps{};
    bool m_lampsShown = false; // every lamp has had its icon set once

    TrayNotices m_notices;
    std::unique_ptr<TraySink> m_tray;
    std::optional<TrayPicture> m_trayPicture; // as last shown
    std::string m_trayToolTip;
};

} // namespace tavrel

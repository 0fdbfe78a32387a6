// The main monitor window: event log, alarm lamps, command menu, the four timers and every worker event.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/dialog_key_filter.h"
#include "app/monitor_settings.h"
#include "app/notification.h"
#include "monitor/alarm_lamps.h"
#include "monitor/event_log.h"
#include "monitor/lamp_icons.h"
#include "monitor/menu_table.h"
#include "monitor/monitor_services.h"
#include "monitor/run_files.h"

class QCheckBox;
class QMenuBar;
class QPlainTextEdit;
class QTimer;
class QToolButton;

namespace tavrel {

class CAirLogDlg;

class CTavrelDlg : public KeyFilteredDialog, public NotificationWindow, private MenuActions {
    Q_OBJECT
public:
    // Initialises at once: controls, caption, run files, banner, O&M link, lamps Off, hidden air log window.
    CTavrelDlg(MonitorServices services, MonitorSettings settings, std::string executableDir,
               QWidget* parent = nullptr);
    ~CTavrelDlg() override;

    // NotificationWindow: handlers run on the window's thread from a queued call, in any event loop.
    void handleNotification(Notification notification) override;
    void requestDispatch() override;

    // Notification handlers; the payload is freed when the notification goes out of scope.
    void onStatusText(const Payload& payload);
    void onOmConnected();
    void onOmDisconnected();
    void onOmData(const Payload& payload);
    void onRepeaterLog(const Payload& payload);
    void onAirLogRecord(const Payload& payload);

    // What each of the timers 100-103 does when it fires; other ids are ignored.
    void onTimer(int id);
    // Menu commands of the menu table, and the About command 16.
    void onMenuCommand(int id);

    // State, for the tests.
    bool connectedFlag() const { return m_connected; }
    bool receiversStarted() const { return m_receiversStarted; }
    std::int32_t alarmBits() const { return m_lamps.alarmBits(); }
    int blinkPhase() const { return m_lamps.blinkPhase(); }
    LampIcon lampIcon(int lamp) const { return m_shownLamps.at(static_cast<std::size_t>(lamp)); }
    bool timerActive(int id) const;

    QPlainTextEdit* eventLogView() const { return m_view; }
    QCheckBox* autoCheck() const { return m_autoCheck; }
    QToolButton* lampButton(int lamp) const { return m_lampButtons.at(static_cast<std::size_t>(lamp)); }
    QMenuBar* menuBar() const { return m_menuBar; }
    CAirLogDlg* airLogDlg() const { return m_airLogDlg; }
    const RunFiles& runFiles() const { return m_runFiles; }
    EventLog& eventLog() { return m_eventLog; }

public slots:
    // The close box: stop the link and the receivers, then end as Cancel. The tasks are joined by the owner.
    void reject() override;

private:
    void createControls();
    void createMenuBar();
    void initialise();
    void startLink();
    void showLamps();
    QTimer* windowTimer(int id) const;
    void startWindowTimer(int id);
    void stopWindowTimer(int id);
    void stopAllTimers();
    bool autoChecked() const;
    void stopTasks();

    // MenuActions
    void sendCommand(std::string_view text) override;
    void switchChannel(int channel) override;
    void setPll(om::PllTarget target) override;
    void airLogOn() override;
    void airLogOff() override;
    void clearLog() override;

    MonitorServices m_services;
    const MonitorSettings m_settings;
    const std::string m_executableDir;
    StampClock m_clock;

    QPlainTextEdit* m_view = nullptr;
    std::array<QToolButton*, kLampCount> m_lampButtons{};
    QCheckBox* m_autoCheck = nullptr;
    QMenuBar* m_menuBar = nullptr;
    CAirLogDlg* m_airLogDlg = nullptr;
    std::array<QTimer*, timer::kCount> m_timers{};

    RunFiles m_runFiles;
    EventLog m_eventLog;
    LampIconSet m_lampIcons;
    AlarmLamps m_lamps;
    std::array<LampIcon, kLampCount> m_shownLamps{};

    bool m_connected = false;        // ConnectedFlag
    bool m_receiversStarted = false; // ReceiversStarted
    bool m_registered = false;       // with the hub
    bool m_tasksStopped = false;
    bool m_lampsShown = false; // every lamp has had its icon set once
};

} // namespace tavrel

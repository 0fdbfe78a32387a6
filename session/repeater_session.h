// One repeater's monitoring run: the O&M link, both UDP receivers, the run files, the three timers and the
// rules that tie them together. A QtCore object on the thread that created it; front ends listen to it.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>

#include "handoff/notification.h"
#include "link/om_link.h"
#include "protocol/om_commands.h"
#include "receivers/udp_receiver.h"
#include "session/dispatch_wake.h"
#include "session/monitor_rules.h"
#include "session/monitor_settings.h"
#include "session/run_recorder.h"
#include "session/session_listener.h"
#include "session/session_timers.h"
#include "session/stamped_time.h"

class QTimer;

namespace tavrel {

// What tests and benchmarks put in place of the real pieces.
struct SessionOptions {
    // Starts the O&M link and returns its start result (errno set on failure); empty: OmLink::startOmLink.
    std::function<int(std::string_view repeaterAddress)> startLink{};
    // Empty: the PC's local time.
    StampClock clock{};
    // When alarm transitions happen; empty: the system clock.
    MonitorRules::WallTime wallTime{};
    // How the hand-off's two sides wait for each other.
    NotificationHub::Waits waits = NotificationHub::Waits::WatchFirst;
};

class RepeaterSession : public QObject,
                        public NotificationWindow,
                        private MonitorActions,
                        private RunRecorderListener {
    Q_OBJECT
public:
    RepeaterSession(MonitorSettings settings, std::string logDirectory, SessionOptions options = {},
                    QObject* parent = nullptr);
    // Leaves the hub, then stops the tasks and waits for them.
    ~RepeaterSession() override;
    RepeaterSession(const RepeaterSession&) = delete;
    RepeaterSession& operator=(const RepeaterSession&) = delete;

    // Listeners are told of everything from then on; each must outlive the session or be removed first.
    void addListener(SessionListener& listener);
    void removeListener(SessionListener& listener);

    // The run's start: run files, version banner, the run log's path, hand-off, O&M link. When the run log
    // cannot be created or the link cannot start, the event log gets the failure line, and the failures are
    // returned for the operator, each to be shown on its own; empty when all went well.
    std::vector<std::string> start();
    // The run's end: timers stopped, the tasks told to stop, the hub left (nothing is handled any more).
    // The tasks are waited for by the destructor.
    void stop();

    // Stamps the text, appends it to the run log and reports the line. When the run log stops taking lines,
    // the listeners alone are told so, once; when it takes them again, that is filed and told before the
    // line.
    void appendEvent(std::string_view text);

    // The operator's commands. Each sends only while a socket is in place.
    void sendCommand(std::string_view text);
    void switchChannel(int channel);
    void setPll(om::PllTarget target, int operation, int frequency);
    // AILOGON with the air-log receiver's address and port.
    void airLogOn();
    void airLogOff();
    void setAutoPolling(bool on) { m_rules.setAutoPolling(on); }

    // NotificationWindow: handlers run on the session's thread, in any of its event loops.
    void handleNotification(Notification notification) override;
    void requestDispatch() override;

    // What each timer does when it fires (called by the timers; tests call it directly).
    void onTimer(int id) { m_rules.onTimer(id); }

    const MonitorSettings& settings() const { return m_settings; }
    const RunFiles& runFiles() const { return m_recorder.files(); }
    // The run's filing; startAfresh() on it begins new run files.
    RunRecorder& recorder() { return m_recorder; }
    bool connected() const { return m_rules.connected(); }
    bool receiversStarted() const { return m_rules.receiversStarted(); }
    bool autoPolling() const { return m_rules.autoPolling(); }
    const AlarmTracker& alarms() const { return m_rules.alarms(); }
    const AlarmHistory& alarmHistory() const { return m_rules.alarmHistory(); }
    const RunStatus& status() const { return m_rules.status(); }
    // The wall-clock time of the session (SessionOptions::wallTime).
    WallClock::time_point now() const { return m_rules.now(); }
    bool timerActive(int id) const;

    NotificationHub& hub() { return m_hub; }
    OmLink& link() { return m_link; }
    UdpReceiver& logReceiver() { return m_logReceiver; }
    UdpReceiver& airLogReceiver() { return m_airLogReceiver; }

private:
    // MonitorActions
    void sendHeartbeat() override;
    void sendAlarmQuery() override;
    void sendLogDestination() override;
    void startReceivers() override;
    void startTimer(int id) override;
    void stopTimer(int id) override;
    void reportEvent(std::string_view text) override { appendEvent(text); }
    void reportConnection(bool connected) override;
    void reportAlarmTransition(const AlarmTransition& transition) override;
    void reportAlarmState(std::int32_t bits) override;

    // RunRecorderListener
    void onRecordedLine(std::string_view stampedLine) override;

    void onRepeaterLog(const Payload& payload);
    void onAirLogRecord(const Payload& payload);
    QTimer* timer(int id) const;
    void stopTasks();

    const MonitorSettings m_settings;
    SessionOptions m_options;
    RunRecorder m_recorder;
    std::vector<SessionListener*> m_listeners;
    MonitorRules m_rules;
    std::array<QTimer*, timer::kCount> m_timers{};

    // How the workers ask this thread for a dispatch; it outlives the tasks.
    DispatchWake m_dispatchWake{[this] { m_hub.dispatchPending(); }};
    // The hub outlives the tasks that send through it; the destructor leaves it first.
    NotificationHub m_hub;
    OmLink m_link{m_hub};
    UdpReceiver m_logReceiver{m_hub, kRepeaterLogProfile};
    UdpReceiver m_airLogReceiver{m_hub, kAirLogProfile};
    bool m_registered = false; // with the hub
    bool m_tasksStopped = false;
};

} // namespace tavrel

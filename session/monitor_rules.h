// What one repeater's monitoring does on each event: plain rules, apart from the threads, sockets and timers
// that carry them, so that every front end (the window, a headless collector) runs the same rules.
#pragma once

#include <functional>
#include <string_view>

#include "session/alarm_history.h"
#include "session/alarm_transitions.h"
#include "session/monitor_texts.h"
#include "session/run_status.h"

namespace tavrel {

// What the rules ask of the front end that carries them.
class MonitorActions {
public:
    virtual ~MonitorActions() = default;
    // Link-checking sends: a failed one drops the connection, so the link reconnects.
    virtual void sendHeartbeat() = 0;
    virtual void sendAlarmQuery() = 0;
    // SETLOGDST with the repeater-log receiver's address and port.
    virtual void sendLogDestination() = 0;
    // AILOGON with the air-log receiver's address and port (on connect, when asked for by
    // setAirLogOnConnect).
    virtual void sendAirLogOn() {}
    // Starts both UDP receivers; the repeater-log receiver announces itself with SETLOGDST once it started.
    virtual void startReceivers() = 0;
    // Starts the timer with its full period, restarting it when it runs already.
    virtual void startTimer(int id) = 0;
    virtual void stopTimer(int id) = 0;
    // A line for the event log.
    virtual void reportEvent(std::string_view text) = 0;
    virtual void reportConnection(bool connected) = 0;
    // An alarm came, went or was found active; its event-log line has been reported just before.
    virtual void reportAlarmTransition(const AlarmTransition& /*transition*/) {}
    // An alarm report was taken (bits as reported): MonitorRules::alarms() holds the state it gave, after its
    // transitions. How lamps show it is the front end's.
    virtual void reportAlarmState(std::int32_t /*bits*/) {}
};

class MonitorRules {
public:
    using WallTime = std::function<WallClock::time_point()>;

    explicit MonitorRules(MonitorActions& actions, WallTime wallTime = WallClock::now)
        : m_actions(actions), m_wallTime(std::move(wallTime)), m_status(m_wallTime()) {}

    // The link is up: flag, heartbeat and its timer, the receivers (first time only), the SETLOGDST repeats,
    // then the alarm query timer, AILOGON when asked for; the front end is told last.
    void onConnected();
    // The link is down: flag, every timer stopped; the front end is told last.
    void onDisconnected();
    // A chunk from the O&M channel: an alarm report in it tells each alarm transition (a line of its own),
    // then the state; anything else is ignored.
    void onOmData(std::string_view chunk);
    // A repeater-log datagram arrived: the repeater has its destination, the SETLOGDST repeats stop.
    void onRepeaterLog();
    // An air-log record arrived (counted only).
    void onAirLogRecord() { m_status.onAirLogRecord(); }
    // What each timer does when it fires; other ids are ignored.
    void onTimer(int id);
    // The operator's "Auto": alarm queries are sent only while it is on.
    void setAutoPolling(bool on) { m_autoPolling = on; }
    // Whether every connect asks the repeater for its air log (the collector's air_log=on); off by default:
    // the window's operator asks from the menu.
    void setAirLogOnConnect(bool on) { m_airLogOnConnect = on; }

    bool connected() const { return m_connected; }
    bool receiversStarted() const { return m_receiversStarted; }
    bool autoPolling() const { return m_autoPolling; }
    const AlarmTracker& alarms() const { return m_alarms; }
    // This run's alarm transitions.
    const AlarmHistory& alarmHistory() const { return m_history; }
    const RunStatus& status() const { return m_status; }
    // The wall-clock time the rules go by.
    WallClock::time_point now() const { return m_wallTime(); }

private:
    MonitorActions& m_actions;
    WallTime m_wallTime;
    AlarmTracker m_alarms;
    AlarmHistory m_history;
    RunStatus m_status;
    bool m_connected = false;        // ConnectedFlag
    bool m_receiversStarted = false; // ReceiversStarted
    bool m_autoPolling = true;
    bool m_airLogOnConnect = false;
};

} // namespace tavrel

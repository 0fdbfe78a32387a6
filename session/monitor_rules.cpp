// The monitoring rules, in the order the repeater and the operator see their effects.
#include "session/monitor_rules.h"

#include "protocol/alarm_report.h"
#include "session/session_timers.h"

namespace tavrel {

void MonitorRules::onConnected() {
    m_actions.reportEvent(kRepeaterConnected);
    m_connected = true;
    m_actions.sendHeartbeat();
    m_actions.startTimer(timer::kHeartbeat);
    if (!m_receiversStarted) {
        m_receiversStarted = true;
        m_actions.startReceivers();
    }
    m_actions.startTimer(timer::kLogDestination);
    m_alarms.onConnected();
    m_status.onConnected(m_wallTime());
    m_actions.startTimer(timer::kAlarmQuery);
    if (m_airLogOnConnect)
        m_actions.sendAirLogOn();
    m_actions.reportConnection(true);
}

void MonitorRules::onDisconnected() {
    m_actions.reportEvent(kRepeaterDisconnected);
    m_connected = false;
    for (int id = timer::kFirst; id < timer::kFirst + timer::kCount; ++id)
        m_actions.stopTimer(id);
    m_status.onDisconnected(m_wallTime());
    m_actions.reportConnection(false);
}

void MonitorRules::onOmData(std::string_view chunk) {
    if (const auto bits = parseAlarmReport(chunk)) {
        for (const AlarmTransition& transition : m_alarms.onReport(*bits, m_wallTime())) {
            m_history.add(transition);
            m_actions.reportEvent(formatAlarmTransition(transition));
            m_actions.reportAlarmTransition(transition);
        }
        m_actions.reportAlarmState(*bits);
    }
}

void MonitorRules::onRepeaterLog() {
    m_status.onRepeaterLog();
    m_actions.stopTimer(timer::kLogDestination);
}

void MonitorRules::onTimer(int id) {
    switch (id) {
    case timer::kHeartbeat:
        if (m_connected)
            m_actions.sendHeartbeat();
        else
            m_actions.stopTimer(timer::kHeartbeat);
        break;
    case timer::kLogDestination:
        m_actions.sendLogDestination();
        break;
    case timer::kAlarmQuery:
        if (m_autoPolling)
            m_actions.sendAlarmQuery();
        break;
    default:
        break;
    }
}

} // namespace tavrel

// The main window's handlers of worker notifications: status lines, connection changes, alarms and logs.
#include "monitor/tavrel_dlg.h"

#include <span>

#include <QMetaObject>

#include "monitor/air_log_dlg.h"
#include "monitor/monitor_texts.h"
#include "omlink/alarm_report.h"
#include "omlink/om_commands.h"
#include "platform/narrow_text.h"
#include "receivers/air_log_receiver.h"
#include "receivers/air_log_record.h"
#include "receivers/log_receiver.h"

namespace tavrel {
namespace {

std::string_view payloadText(const Payload& payload) {
    return {payload.data(), payload.size()};
}

} // namespace

void CTavrelDlg::handleNotification(Notification notification) {
    switch (notification.kind) {
    case NotifyStatusText:
        onStatusText(notification.payload);
        break;
    case NotifyOmConnected:
        onOmConnected();
        break;
    case NotifyOmDisconnected:
        onOmDisconnected();
        break;
    case NotifyOmData:
        onOmData(notification.payload);
        break;
    case NotifyRepeaterLog:
        onRepeaterLog(notification.payload);
        break;
    case NotifyAirLogRecord:
        onAirLogRecord(notification.payload);
        break;
    }
}

void CTavrelDlg::requestDispatch() {
    // Queued calls run in every event loop of this thread, modal dialogs and message boxes included.
    NotificationHub* hub = &m_services.hub;
    QMetaObject::invokeMethod(
        this, [hub] { hub->dispatchPending(); }, Qt::QueuedConnection);
}

void CTavrelDlg::onStatusText(const Payload& payload) {
    m_eventLog.appendEvent(toValidUtf8(payloadText(payload)));
}

void CTavrelDlg::onOmConnected() {
    m_eventLog.appendEvent(kRepeaterConnected);
    m_connected = true;
    om::sendHeartbeat(m_services.omLink);
    startWindowTimer(timer::kHeartbeat);
    if (!m_receiversStarted) {
        const std::string localAddress = cutAddress(m_settings.localAddress);
        m_services.logReceiver.startLogReceiver(localAddress, m_settings.monitorRxPort);
        m_receiversStarted = true;
        m_services.airLogReceiver.startAirLogReceiver(localAddress, m_settings.airLogRxPort);
    }
    startWindowTimer(timer::kLogDestination);
    m_lamps.onConnected(); // AlarmBits 0, lamps Normal, BlinkPhase 1
    showLamps();
    startWindowTimer(timer::kAlarmQuery);
    startWindowTimer(timer::kLampPaint);
}

void CTavrelDlg::onOmDisconnected() {
    m_eventLog.appendEvent(kRepeaterDisconnected);
    m_connected = false;
    stopAllTimers();
    m_lamps.onDisconnected();
    showLamps();
}

void CTavrelDlg::onOmData(const Payload& payload) {
    if (const auto bits = parseAlarmReport(payloadText(payload))) {
        m_lamps.applyReport(*bits);
        showLamps();
    }
}

void CTavrelDlg::onRepeaterLog(const Payload& payload) {
    stopWindowTimer(timer::kLogDestination);
    m_eventLog.appendEvent(toValidUtf8(payloadText(payload)));
}

void CTavrelDlg::onAirLogRecord(const Payload& payload) {
    const AirLogLines lines = describeAirLogRecord(
        std::span(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()));
    m_airLogDlg->addRecordLine(lines.downlink ? 0 : 1, QString::fromStdString(lines.displayLine));
    m_runFiles.appendDataLine(lines.downlink, lines.fileLine); // skipped silently when it cannot be opened
}

} // namespace tavrel

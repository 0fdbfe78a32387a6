// The monitoring run: the session carries out what the rules ask with its own link, receivers and timers.
#include "session/repeater_session.h"

#include <algorithm>
#include <cerrno>
#include <span>

#include <QTimer>

#include "link/om_sends.h"
#include "platform/narrow_text.h"
#include "protocol/air_log_record.h"
#include "session/monitor_texts.h"

namespace tavrel {
namespace {

std::string_view payloadText(const Payload& payload) {
    return {payload.data(), payload.size()};
}

} // namespace

RepeaterSession::RepeaterSession(MonitorSettings settings, std::string logDirectory, SessionOptions options,
                                 QObject* parent)
    : QObject(parent), m_settings(std::move(settings)), m_options(std::move(options)),
      m_recorder(std::move(logDirectory), m_settings.repeaterAddress, m_options.clock, *this),
      m_rules(*this, m_options.wallTime ? m_options.wallTime : MonitorRules::WallTime(WallClock::now)),
      m_hub(m_options.waits) {
    for (int i = 0; i < timer::kCount; ++i) {
        const int id = timer::kFirst + i;
        auto* t = new QTimer(this);
        t->setObjectName(QStringLiteral("timer%1").arg(id));
        connect(t, &QTimer::timeout, this, [this, id] { onTimer(id); });
        m_timers[static_cast<std::size_t>(i)] = t;
    }
}

RepeaterSession::~RepeaterSession() {
    // First of all, so that no sender waits on a session that is going away; the members then stop and join
    // their tasks.
    stop();
}

void RepeaterSession::addListener(SessionListener& listener) {
    m_listeners.push_back(&listener);
}

void RepeaterSession::removeListener(SessionListener& listener) {
    std::erase(m_listeners, &listener);
}

std::vector<std::string> RepeaterSession::start() {
    std::vector<std::string> failures;
    if (std::optional<std::string> failure = m_recorder.start())
        failures.push_back(std::move(*failure));

    // Registered before the link starts, so its first status line is not dropped.
    m_hub.registerWindow(*this);
    m_registered = true;

    errno = 0;
    const int result = m_options.startLink ? m_options.startLink(m_settings.repeaterAddress)
                       : m_settings.viaAddress.empty()
                           ? m_link.startOmLink(m_settings.repeaterAddress)
                           : m_link.startOmLink(m_settings.viaAddress, m_settings.viaPort);
    const int systemError = errno;
    if (result != 0) {
        std::string failure = formatLinkStartFailure(systemError, result);
        appendEvent(failure);
        failures.push_back(std::move(failure));
    }
    return failures;
}

void RepeaterSession::stop() {
    for (QTimer* t : m_timers)
        t->stop();
    stopTasks();
    // Later notifications are dropped by their senders, and any sender still waiting is released.
    if (m_registered) {
        m_hub.unregisterWindow();
        m_registered = false;
    }
}

void RepeaterSession::stopTasks() {
    if (m_tasksStopped)
        return;
    m_tasksStopped = true;
    m_link.stopOmLink();
    m_logReceiver.stop();
    m_airLogReceiver.stop();
}

void RepeaterSession::appendEvent(std::string_view text) {
    m_recorder.append(text);
}

void RepeaterSession::onRecordedLine(std::string_view stampedLine) {
    for (SessionListener* listener : m_listeners)
        listener->onEventLine(stampedLine);
}

void RepeaterSession::handleNotification(Notification notification) {
    switch (notification.kind) {
    case NotifyStatusText:
        appendEvent(toValidUtf8(payloadText(notification.payload)));
        break;
    case NotifyOmConnected:
        m_rules.onConnected();
        break;
    case NotifyOmDisconnected:
        m_rules.onDisconnected();
        break;
    case NotifyOmData:
        m_rules.onOmData(payloadText(notification.payload));
        break;
    case NotifyRepeaterLog:
        onRepeaterLog(notification.payload);
        break;
    case NotifyAirLogRecord:
        onAirLogRecord(notification.payload);
        break;
    }
}

void RepeaterSession::requestDispatch() {
    m_dispatchWake.request();
}

void RepeaterSession::onRepeaterLog(const Payload& payload) {
    m_rules.onRepeaterLog();
    appendEvent(toValidUtf8(payloadText(payload)));
}

void RepeaterSession::onAirLogRecord(const Payload& payload) {
    const AirLogLines lines = m_recorder.fileAirRecord(
        std::span(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()));
    m_rules.onAirLogRecord();
    for (SessionListener* listener : m_listeners)
        listener->onAirLogRecord(lines.downlink, lines.displayLine);
}

void RepeaterSession::sendCommand(std::string_view text) {
    om::sendCommand(m_link, text);
}

void RepeaterSession::switchChannel(int channel) {
    om::sendSwitchChannel(m_link, channel);
}

void RepeaterSession::setPll(om::PllTarget target, int operation, int frequency) {
    om::sendSetPll(m_link, target, operation, frequency);
}

void RepeaterSession::airLogOn() {
    om::sendAirLogOn(m_link, m_airLogReceiver.address(), m_airLogReceiver.port());
}

void RepeaterSession::airLogOff() {
    om::sendAirLogOff(m_link);
}

void RepeaterSession::sendHeartbeat() {
    om::sendHeartbeat(m_link);
}

void RepeaterSession::sendAlarmQuery() {
    om::sendAlarmQuery(m_link);
}

void RepeaterSession::sendLogDestination() {
    om::sendLogDestination(m_link, m_logReceiver.address(), m_logReceiver.port());
}

void RepeaterSession::startReceivers() {
    if (m_logReceiver.start(m_settings.localAddress, m_settings.monitorRxPort) == UdpReceiver::kStarted)
        sendLogDestination(); // once, as the receiver announces itself
    m_airLogReceiver.start(m_settings.localAddress, m_settings.airLogRxPort);
}

QTimer* RepeaterSession::timer(int id) const {
    const int index = id - timer::kFirst;
    return index >= 0 && index < timer::kCount ? m_timers[static_cast<std::size_t>(index)] : nullptr;
}

void RepeaterSession::startTimer(int id) {
    timer(id)->start(timer::period(id));
}

void RepeaterSession::stopTimer(int id) {
    timer(id)->stop();
}

bool RepeaterSession::timerActive(int id) const {
    const QTimer* t = timer(id);
    return t && t->isActive();
}

void RepeaterSession::reportConnection(bool connected) {
    for (SessionListener* listener : m_listeners)
        listener->onConnectionChanged(connected);
}

void RepeaterSession::reportAlarmTransition(const AlarmTransition& transition) {
    for (SessionListener* listener : m_listeners)
        listener->onAlarmTransition(transition);
}

void RepeaterSession::reportAlarmState(std::int32_t bits) {
    for (SessionListener* listener : m_listeners)
        listener->onAlarmState(bits);
}

} // namespace tavrel

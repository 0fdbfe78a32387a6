// The link's states and deadlines.
#include "link/link_machine.h"

#include <algorithm>

namespace tavrel {

std::string_view LinkMachine::start(Clock::time_point now) {
    m_state = State::Waiting;
    m_due = now + jitter();
    return kConnectingText;
}

void LinkMachine::stop() {
    m_state = State::Stopped;
}

LinkMachine::Action LinkMachine::onWake(Clock::time_point now) {
    if (now < m_due)
        return Action::None;
    switch (m_state) {
    case State::Waiting:
        m_state = State::Connecting;
        m_attemptStarted = now;
        m_due = now + kConnectTimeout;
        return Action::Connect;
    case State::Connecting: // not answered: given up silently and tried afresh
        planRetry(now);
        return Action::Abandon;
    default:
        return Action::None;
    }
}

LinkMachine::Action LinkMachine::onConnectSucceeded() {
    if (m_state != State::Connecting)
        return Action::None;
    m_state = State::Connected;
    return Action::ReportConnected;
}

LinkMachine::Action LinkMachine::onConnectFailed(Clock::time_point now) {
    if (m_state != State::Connecting)
        return Action::None;
    planRetry(now);
    return Action::Abandon;
}

LinkMachine::Action LinkMachine::onLost(Clock::time_point now) {
    if (m_state != State::Connected)
        return Action::None;
    planRetry(now);
    return Action::ReportLost;
}

std::optional<LinkMachine::Clock::time_point> LinkMachine::wakeAt() const {
    if (m_state == State::Waiting || m_state == State::Connecting)
        return m_due;
    return std::nullopt;
}

void LinkMachine::planRetry(Clock::time_point now) {
    // At least the pause after the previous attempt began, so a quick failure is not retried at once.
    m_state = State::Waiting;
    m_due = std::max(now, m_attemptStarted + kRetryPause) + jitter();
}

} // namespace tavrel

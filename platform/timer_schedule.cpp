// An ordered set of deadlines and a map from each key to its deadline, kept in step.
#include "platform/timer_schedule.h"

#include <climits>

namespace tavrel {

void TimerSchedule::start(Key key, Clock::time_point due) {
    stop(key);
    m_due.emplace(key, due);
    m_order.emplace(due, key);
}

void TimerSchedule::stop(Key key) {
    const auto it = m_due.find(key);
    if (it == m_due.end())
        return;
    m_order.erase({it->second, key});
    m_due.erase(it);
}

void TimerSchedule::stopAll(std::uint32_t owner) {
    auto it = m_due.lower_bound(Key{owner, INT_MIN});
    while (it != m_due.end() && it->first.owner == owner) {
        m_order.erase({it->second, it->first});
        it = m_due.erase(it);
    }
}

std::optional<TimerSchedule::Clock::time_point> TimerSchedule::due(Key key) const {
    const auto it = m_due.find(key);
    if (it == m_due.end())
        return std::nullopt;
    return it->second;
}

std::optional<TimerSchedule::Clock::time_point> TimerSchedule::nextDue() const {
    if (m_order.empty())
        return std::nullopt;
    return m_order.begin()->first;
}

std::optional<TimerSchedule::Key> TimerSchedule::takeDue(Clock::time_point now) {
    if (m_order.empty() || m_order.begin()->first > now)
        return std::nullopt;
    const Key key = m_order.begin()->second;
    m_order.erase(m_order.begin());
    m_due.erase(key);
    return key;
}

} // namespace tavrel

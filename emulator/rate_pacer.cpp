// Rate schedule arithmetic: sends due since the anchor, and re-anchoring after a stall.
#include "emulator/rate_pacer.h"

#include <cmath>

namespace tavrel::emulator {
namespace {

using Seconds = std::chrono::duration<double>;

} // namespace

void RatePacer::start(double perSecond, Clock::time_point now) {
    m_perSecond = perSecond;
    m_anchor = now;
    m_taken = 0;
}

std::uint64_t RatePacer::takeDue(Clock::time_point now) {
    if (!active() || now < m_anchor)
        return 0;
    const double elapsed = std::chrono::duration_cast<Seconds>(now - m_anchor).count();
    const auto scheduled = static_cast<std::uint64_t>(std::floor(elapsed * m_perSecond + 1e-9)) + 1;
    if (scheduled <= m_taken)
        return 0;
    std::uint64_t due = scheduled - m_taken;
    if (static_cast<double>(due) > m_perSecond + 1) {
        m_anchor = now;
        m_taken = 0;
        due = 1;
    }
    m_taken += due;
    return due;
}

RatePacer::Clock::time_point RatePacer::nextDue() const {
    const Seconds offset(static_cast<double>(m_taken) / m_perSecond);
    return m_anchor + std::chrono::ceil<Clock::duration>(offset);
}

} // namespace tavrel::emulator

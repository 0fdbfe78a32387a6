// A send schedule at a fixed rate, driven by the time the caller passes in, so it is testable without a
// clock.
#pragma once

#include <chrono>
#include <cstdint>

namespace tavrel::emulator {

class RatePacer {
public:
    using Clock = std::chrono::steady_clock;

    // The k-th send (k = 0, 1, ...) is due at now + k / perSecond. A rate of 0 or less stops the pacer.
    void start(double perSecond, Clock::time_point now);
    void stop() noexcept { m_perSecond = 0; }
    bool active() const noexcept { return m_perSecond > 0; }
    // Switched on (at the rate, unless it runs already) or off, as a repeater's log switches turn it.
    void switchTo(bool on, double perSecond, Clock::time_point now) {
        if (!on)
            stop();
        else if (!active())
            start(perSecond, now);
    }

    // How many sends are due up to now; they count as taken. A schedule more than a second behind (the
    // process was stalled) starts afresh at now instead of sending the whole backlog at once.
    std::uint64_t takeDue(Clock::time_point now);

    // When the next send is due; meaningless while stopped.
    Clock::time_point nextDue() const;

private:
    double m_perSecond = 0;
    Clock::time_point m_anchor{};
    std::uint64_t m_taken = 0;
};

} // namespace tavrel::emulator

// An eventfd that one thread signals to wake another out of poll() at once.
#pragma once

namespace tavrel {

class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    bool valid() const noexcept { return m_fd >= 0; }
    // The descriptor to poll for POLLIN; it stays readable once signalled until reset().
    int fd() const noexcept { return m_fd; }
    void signal() noexcept;
    void reset() noexcept;

private:
    int m_fd = -1;
};

} // namespace tavrel

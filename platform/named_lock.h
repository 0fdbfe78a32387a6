// A system-wide lock created by name that vanishes with the process, and the instance-slot claim built on it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavrel {

// A Unix socket bound in the abstract namespace: binding fails with EADDRINUSE while another holder
// lives, and the kernel releases the name when the holder's descriptor closes, even on a crash.
class NamedLock {
public:
    // The lock when the name was free; nothing when another holder has it (or the system refused).
    static std::optional<NamedLock> tryCreate(std::string_view name);

    NamedLock(NamedLock&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    NamedLock& operator=(NamedLock&& other) noexcept;
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;
    ~NamedLock();

private:
    explicit NamedLock(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

struct InstanceSlotClaim {
    int slot;
    NamedLock lock;
};

inline constexpr std::string_view kInstanceLockPrefix = "Velmont#";
inline constexpr int kInstanceSlotCount = 16;

// Claims the lowest free slot 0..count-1 through the locks prefix+"0", prefix+"1", ...
// Nothing when every slot is taken.
std::optional<InstanceSlotClaim> claimInstanceSlot(std::string_view prefix = kInstanceLockPrefix,
                                                   int count = kInstanceSlotCount);

} // namespace tavrel

// The two UDP receivers the monitor runs: the repeater's text log and its binary air-interface log.
#pragma once

#include <cstddef>
#include <string_view>

#include "handoff/notification.h"

namespace tavrel {

// What tells the receivers apart. The texts hold one "%d" for the system error code.
struct UdpReceiveProfile {
    std::size_t slotSize = 0;
    int slotCount = 0;
    NotifyKind kind = NotifyStatusText;
    bool appendNul = false; // text log: the copy ends in a NUL, counted in its size
    std::string_view createFailure;
    std::string_view bindFailure;
    std::string_view quitText;
};

// Text datagrams of up to 1024 bytes, handed over with a NUL.
inline constexpr UdpReceiveProfile kRepeaterLogProfile{
    .slotSize = 1024,
    .slotCount = 4,
    .kind = NotifyRepeaterLog,
    .appendNul = true,
    .createFailure = "Fail to create log receive socket,error=%d",
    .bindFailure = "Fail to bind log receive socket,error=%d",
    .quitText = "LOG receiving task quit",
};

// Binary records of up to 64 bytes, handed over exactly as received.
inline constexpr UdpReceiveProfile kAirLogProfile{
    .slotSize = 64,
    .slotCount = 16,
    .kind = NotifyAirLogRecord,
    .appendNul = false,
    .createFailure = "Fail to create airlog receive socket,error=%d",
    .bindFailure = "Fail to bind airlog receive socket,error=%d",
    .quitText = "AIRLOG receiving task quit",
};

} // namespace tavrel

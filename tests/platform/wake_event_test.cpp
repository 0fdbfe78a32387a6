// A signalled wake event makes poll() return at once and stays readable until reset.
#include <gtest/gtest.h>

#include <poll.h>

#include "platform/wake_event.h"

namespace tavrel {
namespace {

bool readable(const WakeEvent& event) {
    pollfd ready{event.fd(), POLLIN, 0};
    return ::poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN);
}

TEST(WakeEvent, SignalWakesUntilReset) {
    WakeEvent event;
    ASSERT_TRUE(event.valid());
    EXPECT_FALSE(readable(event));
    event.signal();
    event.signal();
    EXPECT_TRUE(readable(event));
    event.reset();
    EXPECT_FALSE(readable(event));
    event.reset(); // resetting an idle event does not block
    EXPECT_FALSE(readable(event));
}

} // namespace
} // namespace tavrel

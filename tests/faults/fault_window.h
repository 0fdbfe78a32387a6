// The monitor's window fixture on addresses of the fault tests (127.0.8.*), with line-counting helpers.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/ui/window_fixture.h"

namespace tavrel::test {

// Repeater 127.0.8.<n>, monitor 127.0.8.<100 + n>, receive ports of their own.
inline MonitorSettings faultSettings(int n) {
    return loopbackSettings("127.0.8.", n, 44820, 45820);
}

// The lines of a file's text, without their line ends.
inline std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

inline long long millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

class FaultWindowTest : public MonitorWindowTest {
protected:
    // A window without a link whose receivers run, as after the first connection.
    void openReceiving(int n) {
        openAt(faultSettings(n));
        deliver(window->session(), NotifyOmConnected);
        ASSERT_TRUE(waitUntil([&] {
            return session->logReceiver().running() && session->airLogReceiver().running();
        })) << viewText(*window);
    }

    // "YYYYMMDD hhmmss>> text" with the fixture's fixed clock.
    std::string stamped(std::string_view text) const { return formatStampedLine(now, text); }
};

} // namespace tavrel::test

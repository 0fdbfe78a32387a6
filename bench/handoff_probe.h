// A diagnostic: how many synchronous hand-offs per second NotificationHub manages to a window thread whose
// handler does nothing, i.e. the ceiling that the hand-off alone puts on every receiver.
#pragma once

namespace tavrel::bench {

// tavrel_bench handoff --count N
//
// One worker thread notifies N times (101-byte payloads, as a 100-byte log line with its NUL) to a
// NotificationWindow that dispatches through a queued call on a QApplication event loop (offscreen), as the
// main window does; prints "handoff <N> <ns>".
int runHandoffProbe(int argc, char** argv);

} // namespace tavrel::bench

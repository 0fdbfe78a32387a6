// The tool under test: the real main window, offscreen, in a process of its own, driven by control lines.
#pragma once

namespace tavrel::bench {

// tavrel_bench window --local A --log-port P --air-port Q --repeater R --dir D [--air-log-on] [--max-seconds
// S]
//
// Builds the services as the tool does, runs the main window modally and shuts down as the tool does.
// Standard output: "runlog <path>", "downlink <path>", "uplink <path>", "connected <ns>" each time
// NotifyOmConnected has been handled (CLOCK_MONOTONIC), "air-log-on" after the menu command "LOG On" ran on
// the first connection (with --air-log-on). Standard input: "usage" answers "usage <cpu-us>" (user + system
// CPU time of the process); "close" closes the window as its close box does; end of input closes it too, and
// so does the time limit.
int runWindowProcess(int argc, char** argv);

} // namespace tavrel::bench

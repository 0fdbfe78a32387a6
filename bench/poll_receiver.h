// The reference receiver: the original design's receive loop, readiness polled with a 500 microsecond
// time-out.
#pragma once

namespace tavrel::bench {

// tavrel_bench poll-receiver --address A --ports P[,Q...] --seconds S
//
// One thread per port, each looping select() with a 0 s 500 us time-out on its bound UDP socket and receiving
// what is ready, as the original receivers did, for S seconds. Then prints
// "usage <cpu-us> <wall-us> <datagrams>" (user + system CPU time of the process) and ends.
int runPollReceiver(int argc, char** argv);

} // namespace tavrel::bench

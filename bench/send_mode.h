// A stand-alone sender of the bench's numbered load, for profiling the tool by hand.
#pragma once

namespace tavrel::bench {

// tavrel_bench send --from A --to A:P --kind log|air --count N [--rate R]
//
// Sends records 1..N to A:P from address A (the repeater's), R per second, or without R as fast as the
// receiver's queue allows (it waits while more than 512 KiB are queued there). Prints what it sent.
int runSendMode(int argc, char** argv);

} // namespace tavrel::bench

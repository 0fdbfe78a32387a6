// The measurements; each returns its row of the one result table.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bench/bench_env.h"

namespace tavrel::bench {

struct ResultRow {
    std::string figure;
    std::string conditions;
    std::string tavrel;    // the tool's figure
    std::string reference; // the side-by-side reference and the ratio, or "-"
    std::string target;
    std::optional<bool> met; // nothing: no target, or not measurable here
};

ResultRow measureIdle(BenchEnvironment& env);
ResultRow measureLogThroughput(BenchEnvironment& env);
ResultRow measureAirThroughput(BenchEnvironment& env);
ResultRow measureHandoff(BenchEnvironment& env);
ResultRow measureLatency(BenchEnvironment& env);
ResultRow measureFootprint(BenchEnvironment& env);
ResultRow measureReconnection(BenchEnvironment& env);
ResultRow measureStop(BenchEnvironment& env);
// Through a collector's relay (tavrel --via): throughput, and the latency it adds to the direct path's.
ResultRow measureRelayThroughput(BenchEnvironment& env);
ResultRow measureRelayLatency(BenchEnvironment& env);

// Formatting shared by the measurements.
std::string fixed(double value, int decimals);
std::string thousands(double value); // 50000 -> "50,000"
std::string milliseconds(std::int64_t ns);

// The q-quantile (0..1) of the values, nearest rank; 0 when empty.
std::int64_t quantile(std::vector<std::int64_t> values, double q);

} // namespace tavrel::bench

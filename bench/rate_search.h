// The search for the highest rate that passes a trial: doubling until a failure, then a few bisection steps.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tavrel::bench {

struct TrialOutcome {
    bool passed = false;
    std::string detail; // what the check found, e.g. "all 500000 once, in order"
    // Datagrams per second from the first send to the last line filed: below the rate when a backlog built up
    // in the receive buffer and drained after the sending ended. 0 when not measured.
    double sustainedRate = 0;
};

struct RateSearch {
    double startRate = 5000;
    double highestRate = 400'000; // the search stops here even when it still passes
    int bisectionSteps = 3;
    double quantum = 500; // rates tried are multiples of this
};

struct SearchResult {
    double best = 0;      // highest rate that passed; 0 when none did
    double firstFail = 0; // lowest rate that failed; 0 when none did
    bool capped = false;  // the highest rate tried passed
    TrialOutcome bestOutcome;
    TrialOutcome failOutcome;
    std::vector<std::string> trials; // "20,000/s passed", for the log
};

SearchResult searchHighestRate(const RateSearch& search, const std::function<TrialOutcome(double)>& trial);

} // namespace tavrel::bench

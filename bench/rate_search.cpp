// Doubling, then bisecting between the last rate that passed and the first that failed.
#include "bench/rate_search.h"

#include <algorithm>
#include <cmath>

#include "bench/measurements.h"

namespace tavrel::bench {
namespace {

// Halving below the start rate when even that fails: at most this many steps.
constexpr int kLowerSteps = 4;

} // namespace

SearchResult searchHighestRate(const RateSearch& search, const std::function<TrialOutcome(double)>& trial) {
    SearchResult result;
    const auto run = [&](double rate) {
        const TrialOutcome outcome = trial(rate);
        result.trials.push_back(thousands(rate) + "/s " + (outcome.passed ? "passed" : "failed") + ": " +
                                outcome.detail);
        if (outcome.passed && rate > result.best) {
            result.best = rate;
            result.bestOutcome = outcome;
        }
        if (!outcome.passed && (result.firstFail == 0 || rate < result.firstFail)) {
            result.firstFail = rate;
            result.failOutcome = outcome;
        }
        return outcome.passed;
    };

    double rate = search.startRate;
    if (run(rate)) {
        while (rate < search.highestRate) {
            rate = std::min(rate * 2, search.highestRate);
            if (!run(rate))
                break;
        }
        result.capped = result.firstFail == 0;
    } else {
        for (int step = 0; step < kLowerSteps && result.best == 0; ++step)
            run(rate /= 2);
    }
    if (result.best == 0 || result.firstFail == 0)
        return result;

    for (int step = 0; step < search.bisectionSteps; ++step) {
        const double middle =
            std::round((result.best + result.firstFail) / 2 / search.quantum) * search.quantum;
        if (middle <= result.best || middle >= result.firstFail)
            break;
        run(middle);
    }
    return result;
}

} // namespace tavrel::bench

// The one table the bench prints: a Markdown table, ready for the README.
#pragma once

#include <string>
#include <vector>

#include "bench/measurements.h"

namespace tavrel::bench {

// Conditions that hold for every row, then the rows.
std::string formatResultTable(const std::string& commonConditions, const std::vector<ResultRow>& rows);

// Machine, kernel, build and date, in one line; the two checks are machineCheck() at the start and the end.
std::string describeMachine(bool quick, const std::string& checkAtStart, const std::string& checkAtEnd);

// How fast and how busy the machine is right now: the time of a fixed integer loop on one core and the load
// average, so that runs on different days or machines can be compared.
std::string machineCheck();

} // namespace tavrel::bench

// Whether one run file takes its lines, so that a run of failed writes is told once when it begins and once
// when it ends, never line by line.
#pragma once

#include <optional>
#include <string>

#include "session/run_files.h"

namespace tavrel {

class WriteWatch {
public:
    explicit WriteWatch(std::string path = {}) : m_path(std::move(path)) {}

    // Takes how one write of the file went. Returns the event-log text when the file has just stopped taking
    // lines (naming the system's reason) or takes them again; nothing while it stays as it was.
    std::optional<std::string> record(WriteResult result);

    bool failing() const { return m_failing; }
    // What record() returns once a failing file takes a line again: to try a line that says so first.
    std::string resumedText() const;

private:
    std::string m_path;
    bool m_failing = false;
};

} // namespace tavrel

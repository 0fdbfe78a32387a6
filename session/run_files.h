// The run's three files (run log, downlink and uplink air-log data) and the stamped event-log line.
#pragma once

#include <string>
#include <string_view>

#include "platform/scoped_fd.h"
#include "session/stamped_time.h"

namespace tavrel {

// "YYYYMMDD hhmmss>> text": the form of every line in the event log and the run log.
std::string formatStampedLine(const StampedTime& time, std::string_view text);

// How one write of a run file went: the system's error number, 0 when everything went in.
struct WriteResult {
    int error = 0;
    explicit operator bool() const { return error == 0; }
};

class RunFiles {
public:
    RunFiles() = default;
    // The files lie in the log directory; their names follow the repeater's address and the moment the run
    // started.
    RunFiles(std::string_view logDirectory, std::string_view repeaterAddress, const StampedTime& startedAt);

    const std::string& runLogPath() const { return m_runLog; }
    const std::string& downlinkDataPath() const { return m_downlinkData; }
    const std::string& uplinkDataPath() const { return m_uplinkData; }

    // Creates (or truncates) the run log and writes its header. The data files appear with their first
    // record.
    WriteResult createRunFiles() const;

    // Each call opens the file, appends and closes it again, so nothing waits in a buffer, and a file that
    // was removed or could not be written comes back as soon as it can. With keepOpen(true) each file stays
    // open between lines instead (nothing waits in a buffer either); it is let go of after a failed write or
    // once it has been removed, and opened afresh for the next line.
    // The run log gets the stamped line and a line end.
    WriteResult appendRunLog(std::string_view stampedLine) const;
    // The data file of the direction gets the line as it is (it carries its own line end).
    WriteResult appendDataLine(bool downlink, std::string_view fileLine) const;

    // Keeps the files open between lines (where lines come often enough for an open and a close per line to
    // cost more than they are worth), or closes them now and opens them per line again.
    void keepOpen(bool keep);

private:
    std::string m_repeaterAddress;
    StampedTime m_startedAt;
    std::string m_runLog;
    std::string m_downlinkData;
    std::string m_uplinkData;
    bool m_keepOpen = false;
    // The descriptors kept open between lines, opened by the first line after a start or a failure.
    mutable ScopedFd m_openRunLog;
    mutable ScopedFd m_openDownlink;
    mutable ScopedFd m_openUplink;
};

} // namespace tavrel

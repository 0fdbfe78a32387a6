// A run's filing: the run log and the two air-log data files, whether each takes its lines, and the lines
// that tell when one stops or takes them again. Plain C++ with no thread or event loop of its own, so that
// the window and the collector file and tell alike.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/air_log_record.h"
#include "session/run_files.h"
#include "session/stamped_time.h"
#include "session/write_watch.h"

namespace tavrel {

// Who hears of the recorder's lines. Both calls have defaults that ignore them.
class RunRecorderListener {
public:
    virtual ~RunRecorderListener() = default;
    // Every stamped event-log line, in order: filed in the run log unless the run log cannot take it.
    virtual void onRecordedLine(std::string_view /*stampedLine*/) {}
    // A file stopped taking lines, takes them again, or the run log could not be created: the text,
    // unstamped, for a front end that tells such news apart from the event lines (it is among them too).
    virtual void onFilingChanged(std::string_view /*text*/) {}
};

class RunRecorder {
public:
    // The files lie in the directory and are named by the repeater's address and the clock's time now.
    RunRecorder(std::string directory, std::string repeaterAddress, StampClock clock,
                RunRecorderListener& listener);

    // Creates the run log with its header and writes the version
    // banner and the run log's path line. When the run log cannot be created, the banner and the failure line
    // are told instead (each later line tries the file again) and the failure text is returned.
    std::optional<std::string> start();
    // The same afresh: a new run log with the same header and new data files, named by the clock's time now.
    // The files of the run so far are left as they are.
    std::optional<std::string> startAfresh();

    // Stamps the text, appends it to the run log and tells the line. When the run log stops taking lines,
    // that is told (not filed), once; when it takes them again, that is filed and told before the line.
    void append(std::string_view text);
    // Files the air-log record's line in its direction's data file; a data file that stops or takes lines
    // again is appended as an event line. Returns the record's lines for a view.
    AirLogLines fileAirRecord(std::span<const std::uint8_t> record);

    // Whether each file stays open between lines (RunFiles::keepOpen); kept across startAfresh().
    void keepOpen(bool keep);
    // Whether the run log, the downlink and the uplink data file took their last lines, in that order; a
    // file not written yet counts as taking them.
    std::array<bool, 3> takingLines() const;

    const RunFiles& files() const { return m_files; }

private:
    void watchFiles();
    void tell(std::string_view stampedLine) { m_listener.onRecordedLine(stampedLine); }

    std::string m_directory;
    std::string m_repeaterAddress;
    StampClock m_clock;
    RunRecorderListener& m_listener;
    RunFiles m_files;
    WriteWatch m_runLogWrites;
    WriteWatch m_downlinkWrites;
    WriteWatch m_uplinkWrites;
    bool m_keepOpen = false;
};

} // namespace tavrel

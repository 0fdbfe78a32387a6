// The run's filing and the lines that tell a file's failures and recoveries.
#include "session/run_recorder.h"

#include "session/monitor_texts.h"

namespace tavrel {

RunRecorder::RunRecorder(std::string directory, std::string repeaterAddress, StampClock clock,
                         RunRecorderListener& listener)
    : m_directory(std::move(directory)), m_repeaterAddress(std::move(repeaterAddress)),
      m_clock(clock ? std::move(clock) : StampClock(currentStampedTime)), m_listener(listener),
      m_files(m_directory, m_repeaterAddress, m_clock()) {
    watchFiles();
}

void RunRecorder::watchFiles() {
    m_runLogWrites = WriteWatch(m_files.runLogPath());
    m_downlinkWrites = WriteWatch(m_files.downlinkDataPath());
    m_uplinkWrites = WriteWatch(m_files.uplinkDataPath());
}

std::optional<std::string> RunRecorder::startAfresh() {
    m_files = RunFiles(m_directory, m_repeaterAddress, m_clock());
    m_files.keepOpen(m_keepOpen);
    watchFiles();
    return start();
}

void RunRecorder::keepOpen(bool keep) {
    m_keepOpen = keep;
    m_files.keepOpen(keep);
}

std::array<bool, 3> RunRecorder::takingLines() const {
    return {!m_runLogWrites.failing(), !m_downlinkWrites.failing(), !m_uplinkWrites.failing()};
}

std::optional<std::string> RunRecorder::start() {
    if (const WriteResult created = m_files.createRunFiles()) {
        append(versionBanner());
        append(formatRunLogPath(m_files.runLogPath()));
        return std::nullopt;
    } else {
        // Told in words of its own rather than as a stopped file; each later line tries the file again.
        m_runLogWrites.record(created);
        const StampedTime now = m_clock();
        std::string failure = formatRunLogNotCreated(m_files.runLogPath(), created.error);
        tell(formatStampedLine(now, versionBanner()));
        tell(formatStampedLine(now, failure));
        m_listener.onFilingChanged(failure);
        return failure;
    }
}

void RunRecorder::append(std::string_view text) {
    // Nothing here calls append again: the run log's own changes are written and told directly.
    const StampedTime now = m_clock();
    const std::string line = formatStampedLine(now, text);
    if (m_runLogWrites.failing()) {
        // The notice and the line in one write, so that both go in whole or neither does: a few bytes of room
        // left on a full disk do not make the run log look written again.
        const std::string resumedText = m_runLogWrites.resumedText();
        const std::string resumed = formatStampedLine(now, resumedText);
        if (m_runLogWrites.record(m_files.appendRunLog(resumed + "\n" + line))) {
            tell(resumed);
            m_listener.onFilingChanged(resumedText);
        }
    } else if (const auto stopped = m_runLogWrites.record(m_files.appendRunLog(line))) {
        tell(formatStampedLine(now, *stopped)); // the run log cannot take news of its own failure
        m_listener.onFilingChanged(*stopped);
    }
    tell(line);
}

AirLogLines RunRecorder::fileAirRecord(std::span<const std::uint8_t> record) {
    AirLogLines lines = describeAirLogRecord(record);
    WriteWatch& writes = lines.downlink ? m_downlinkWrites : m_uplinkWrites;
    if (const auto change = writes.record(m_files.appendDataLine(lines.downlink, lines.fileLine))) {
        append(*change);
        m_listener.onFilingChanged(*change);
    }
    return lines;
}

} // namespace tavrel

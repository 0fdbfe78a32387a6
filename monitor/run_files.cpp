// File names, the run-log header and the open-append-close writes of the run's files.
#include "monitor/run_files.h"

#include <cstdio>
#include <memory>

namespace tavrel {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openFile(const std::string& path, const char* mode) {
    return File(std::fopen(path.c_str(), mode));
}

bool writeAll(std::FILE* file, std::string_view text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// Closes the file now, so that a failed write-back of the buffer is noticed too.
bool closeFile(File& file) {
    return std::fclose(file.release()) == 0;
}

std::string timeDigits(const StampedTime& t, const char* format) {
    char digits[64];
    std::snprintf(digits, sizeof digits, format, t.year, t.month, t.day, t.hour, t.minute, t.second);
    return digits;
}

std::string fileName(std::string_view dir, std::string_view stem, std::string_view address,
                     std::string_view kind, const StampedTime& t, std::string_view extension) {
    std::string name;
    name.append(dir).append("/").append(kLogDirectoryName).append("/");
    name.append(stem).append("[").append(address).append("]").append(kind);
    name.append(timeDigits(t, "%04d%02d%02d%02d%02d%02d")).append(extension);
    return name;
}

} // namespace

std::string formatStampedLine(const StampedTime& time, std::string_view text) {
    std::string line = timeDigits(time, "%04d%02d%02d %02d%02d%02d>> ");
    line.append(text); // no length cap: a whole repeater datagram always fits
    return line;
}

RunFiles::RunFiles(std::string_view executableDir, std::string_view repeaterAddress,
                   const StampedTime& startedAt)
    : m_repeaterAddress(repeaterAddress), m_startedAt(startedAt),
      m_runLog(fileName(executableDir, "repeater", repeaterAddress, "_", startedAt, ".log")),
      m_downlinkData(fileName(executableDir, "AIRInfo", repeaterAddress, "_D_", startedAt, ".dat")),
      m_uplinkData(fileName(executableDir, "AIRInfo", repeaterAddress, "_U_", startedAt, ".dat")) {}

bool RunFiles::createRunFiles() const {
    File file = openFile(m_runLog, "w");
    if (!file)
        return false;
    std::string header = "This is the logging information file of the repeater[" + m_repeaterAddress + "].\n";
    header += timeDigits(m_startedAt, "Created at %04d%02d%02d %02d%02d%02d by the Velmont.\n\n");
    const bool written = writeAll(file.get(), header);
    return closeFile(file) && written;
}

bool RunFiles::appendRunLog(std::string_view stampedLine) const {
    File file = openFile(m_runLog, "a");
    if (!file)
        return false;
    const bool written = writeAll(file.get(), stampedLine) && writeAll(file.get(), "\n");
    return closeFile(file) && written;
}

bool RunFiles::appendDataLine(bool downlink, std::string_view fileLine) const {
    File file = openFile(downlink ? m_downlinkData : m_uplinkData, "a");
    if (!file)
        return false;
    const bool written = writeAll(file.get(), fileLine);
    return closeFile(file) && written;
}

} // namespace tavrel

// File names, the run-log header and the open-append-close writes of the run's files.
#include "session/run_files.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace tavrel {
namespace {

// One open descriptor of a run file, closed on every path. Plain descriptors rather than stdio streams:
// each line is one open, one write and one close, with no stream buffer to set up and tear down.
class OpenFile {
public:
    OpenFile(const std::string& path, int flags)
        : m_fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666)) {}
    ~OpenFile() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    explicit operator bool() const { return m_fd >= 0; }

    // Writes all of the text, the rest again after a short write.
    bool writeAll(std::string_view text) const {
        while (!text.empty()) {
            const ssize_t written = ::write(m_fd, text.data(), text.size());
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            text.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

    // Closes now, so that an error reported by the close is noticed too.
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string timeDigits(const StampedTime& t, const char* format) {
    char digits[64];
    std::snprintf(digits, sizeof digits, format, t.year, t.month, t.day, t.hour, t.minute, t.second);
    return digits;
}

std::string fileName(std::string_view dir, std::string_view stem, std::string_view address,
                     std::string_view kind, const StampedTime& t, std::string_view extension) {
    std::string name;
    name.append(dir).append("/");
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

RunFiles::RunFiles(std::string_view logDirectory, std::string_view repeaterAddress,
                   const StampedTime& startedAt)
    : m_repeaterAddress(repeaterAddress), m_startedAt(startedAt),
      m_runLog(fileName(logDirectory, "repeater", repeaterAddress, "_", startedAt, ".log")),
      m_downlinkData(fileName(logDirectory, "AIRInfo", repeaterAddress, "_D_", startedAt, ".dat")),
      m_uplinkData(fileName(logDirectory, "AIRInfo", repeaterAddress, "_U_", startedAt, ".dat")) {}

bool RunFiles::createRunFiles() const {
    OpenFile file(m_runLog, O_TRUNC);
    if (!file)
        return false;
    std::string header = "This is the logging information file of the repeater[" + m_repeaterAddress + "].\n";
    header += timeDigits(m_startedAt, "Created at %04d%02d%02d %02d%02d%02d by the Velmont.\n\n");
    const bool written = file.writeAll(header);
    return file.close() && written;
}

bool RunFiles::appendRunLog(std::string_view stampedLine) const {
    OpenFile file(m_runLog, O_APPEND);
    if (!file)
        return false;
    // One write for the line and its end, so that the line goes in whole.
    std::string line;
    line.reserve(stampedLine.size() + 1);
    line.append(stampedLine).push_back('\n');
    const bool written = file.writeAll(line);
    return file.close() && written;
}

bool RunFiles::appendDataLine(bool downlink, std::string_view fileLine) const {
    OpenFile file(downlink ? m_downlinkData : m_uplinkData, O_APPEND);
    if (!file)
        return false;
    const bool written = file.writeAll(fileLine);
    return file.close() && written;
}

} // namespace tavrel

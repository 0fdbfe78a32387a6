// File names, the run-log header and the open-append-close writes of the run's files.
#include "session/run_files.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrel {
namespace {

// Takes the start of a text that did not go in whole off the end of the file again, so that a full disk
// leaves no torn line for the next one to run on from. Shrinking works on a full disk too.
void cutOff(int fd, off_t progress) {
    struct stat status {};
    if (progress == 0 || ::fstat(fd, &status) != 0 || status.st_size < progress)
        return;
    [[maybe_unused]] const int cut = ::ftruncate(fd, status.st_size - progress); // a failure keeps it
}

// Writes all of the text, the rest again after a short write. Returns 0 or the system's error number.
int writeAll(int fd, std::string_view text) {
    off_t progress = 0;
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO; // no progress and no reason given
            cutOff(fd, progress);
            return error;
        }
        progress += written;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int openForWriting(const std::string& path, int flags) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
}

// One open descriptor of a run file, closed on every path. Plain descriptors rather than stdio streams:
// each line is one open, one write and one close, with no stream buffer to set up and tear down.
class OpenFile {
public:
    OpenFile(const std::string& path, int flags)
        : m_fd(openForWriting(path, flags)), m_openError(m_fd < 0 ? errno : 0) {}
    ~OpenFile() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // The open's error number, 0 when the file is open.
    int openError() const { return m_openError; }

    int writeAll(std::string_view text) const { return tavrel::writeAll(m_fd, text); }

    // Closes now, so that an error reported by the close (a write-back that failed) is noticed too.
    // Returns the first error of the writes and the close.
    WriteResult close(int writeError) {
        const int fd = m_fd;
        m_fd = -1;
        const int closeError = ::close(fd) == 0 ? 0 : errno;
        return {writeError ? writeError : closeError};
    }

private:
    int m_fd;
    int m_openError;
};

// Appends through a descriptor kept open between lines: a file removed since (no link left) is opened afresh,
// and after a failure the descriptor is let go of, so the next line tries the path again.
WriteResult appendKeptOpen(const std::string& path, std::string_view text, ScopedFd& kept) {
    struct stat status {};
    if (kept.valid() && (::fstat(kept.fd(), &status) != 0 || status.st_nlink == 0))
        kept = ScopedFd();
    if (!kept.valid()) {
        kept = ScopedFd(openForWriting(path, O_APPEND));
        if (!kept.valid())
            return {errno};
    }
    const int error = writeAll(kept.fd(), text);
    if (error != 0)
        kept = ScopedFd();
    return {error};
}

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

WriteResult RunFiles::createRunFiles() const {
    m_openRunLog = ScopedFd();
    OpenFile file(m_runLog, O_TRUNC);
    if (file.openError())
        return {file.openError()};
    std::string header = "This is the logging information file of the repeater[" + m_repeaterAddress + "].\n";
    header += timeDigits(m_startedAt, "Created at %04d%02d%02d %02d%02d%02d by the Velmont.\n\n");
    return file.close(file.writeAll(header));
}

WriteResult RunFiles::appendRunLog(std::string_view stampedLine) const {
    // One write for the line and its end, so that the line goes in whole.
    std::string line;
    line.reserve(stampedLine.size() + 1);
    line.append(stampedLine).push_back('\n');
    if (m_keepOpen)
        return appendKeptOpen(m_runLog, line, m_openRunLog);
    OpenFile file(m_runLog, O_APPEND);
    if (file.openError())
        return {file.openError()};
    return file.close(file.writeAll(line));
}

WriteResult RunFiles::appendDataLine(bool downlink, std::string_view fileLine) const {
    if (m_keepOpen)
        return appendKeptOpen(downlink ? m_downlinkData : m_uplinkData, fileLine,
                              downlink ? m_openDownlink : m_openUplink);
    OpenFile file(downlink ? m_downlinkData : m_uplinkData, O_APPEND);
    if (file.openError())
        return {file.openError()};
    return file.close(file.writeAll(fileLine));
}

void RunFiles::keepOpen(bool keep) {
    m_keepOpen = keep;
    if (keep)
        return;
    m_openRunLog = ScopedFd();
    m_openDownlink = ScopedFd();
    m_openUplink = ScopedFd();
}

} // namespace tavrel

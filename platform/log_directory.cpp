// The log directory's choice: probe log/ beside the executable, then fall back to the XDG state directory.
#include "platform/log_directory.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/executable_dir.h"

namespace tavrel {
namespace {

bool isAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string passwordHome() {
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !entry.pw_dir)
        return {};
    return entry.pw_dir;
}

// mkdir -p: each missing component in turn; an existing one is no error (a file in its place fails later).
int makeDirectories(const std::string& dir, mode_t mode) {
    for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string part = dir.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), mode) != 0 && errno != EEXIST)
            return errno;
        if (slash == std::string::npos)
            return 0;
    }
}

// A file made and removed again: unlike access(), this also fails for root on a read-only file system and
// follows ACLs and the effective user exactly as the run files' own opens will.
int probeWrite(const std::string& dir) {
    const std::string probe = dir + "/.tavrel-probe-" + std::to_string(::getpid());
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    ::close(fd);
    ::unlink(probe.c_str());
    return 0;
}

} // namespace

LogPlaces LogPlaces::current() {
    LogPlaces places;
    places.executableDir = executableDirectory();
    places.stateHome = environment("XDG_STATE_HOME");
    places.home = environment("HOME");
    if (places.home.empty())
        places.home = passwordHome();
    return places;
}

std::string stateLogDirectory(const LogPlaces& places) {
    if (isAbsolute(places.stateHome))
        return places.stateHome + "/tavrel/log";
    if (isAbsolute(places.home))
        return places.home + "/.local/state/tavrel/log";
    return {};
}

std::string chooseLogDirectory(const LogPlaces& places) {
    const std::string besideExecutable = places.executableDir.empty() ? "" : places.executableDir + "/log";
    // Only log/ itself is made beside the executable, never the directories above it.
    if (!besideExecutable.empty() && (::mkdir(besideExecutable.c_str(), 0775) == 0 || errno == EEXIST) &&
        probeWrite(besideExecutable) == 0)
        return besideExecutable;
    const std::string state = stateLogDirectory(places);
    if (state.empty())
        return besideExecutable;
    // 0700 for what is made in the user's state directory, as the XDG base directory rules ask. A failure
    // is not told here: the run log's creation fails in this directory and names the reason.
    makeDirectories(state, 0700);
    return state;
}

} // namespace tavrel

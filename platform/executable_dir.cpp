#include "platform/executable_dir.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tavrel {

std::string executableDirectory() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    std::string full(path, static_cast<std::size_t>(length));
    const auto slash = full.rfind('/');
    if (slash == std::string::npos)
        return {};
    return full.substr(0, slash);
}

std::string prepareLogDirectory(const std::string& executableDir) {
    std::string logDir = executableDir + "/log";
    ::mkdir(logDir.c_str(), 0775);
    return logDir;
}

} // namespace tavrel

// Finds the directory of the running executable through /proc.
#include "platform/executable_dir.h"

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

} // namespace tavrel

// Where the running executable lives, whatever the working directory.
#pragma once

#include <string>

namespace tavrel {

// The directory of /proc/self/exe, without a trailing separator; empty when it cannot be read.
std::string executableDirectory();

} // namespace tavrel

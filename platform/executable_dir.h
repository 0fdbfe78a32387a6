// Where the running executable lives: the log directory is made beside it.
#pragma once

#include <string>

namespace tavrel {

// The directory of /proc/self/exe, without a trailing separator; empty when it cannot be read.
std::string executableDirectory();

// Creates dir/"log"; an existing directory is no error and a failure is ignored (file opens fail later).
// Returns the log directory's path.
std::string prepareLogDirectory(const std::string& executableDir);

} // namespace tavrel

// What the collector keeps of its repeaters' files: those dated more than keep_days back go, and while the
// state directory is larger than max_state_mb the oldest go first. The choice is plain code over a listing,
// apart from the listing and removing, so that it is tried without a clock or a disk.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "session/stamped_time.h"

namespace tavrel {

struct StateFile {
    std::string path;
    std::uint64_t bytes = 0;
    StampedTime dated;  // the start its name carries, else its modification time (local)
    bool inUse = false; // being written: never removed
};

struct RetentionLimits {
    int keepDays = 90;
    std::uint64_t maxBytes = 0; // 0: no limit
};

// The start time a run file's name carries ("..._YYYYMMDDhhmmss.ext"), if the name has one.
std::optional<StampedTime> dateInName(std::string_view fileName);

// The files to remove, oldest first: every file not in use dated more than keepDays calendar days before
// today, then, while the rest is larger than maxBytes, the oldest of the rest not in use.
std::vector<StateFile> filesToRemove(std::vector<StateFile> files, const StampedTime& today,
                                     const RetentionLimits& limits);

// One line for the collector's log: how many, how many bytes, and the names (up to three) or the oldest and
// newest.
std::string describeRemoval(const std::vector<StateFile>& removed);

// The regular files in the repeaters' directories of the state directory (state_dir/<IPv4 address>/), dated;
// those in inUse are marked.
std::vector<StateFile> listStateFiles(const std::string& stateDir, const std::set<std::string>& inUse);

// Removes the files; returns those that went.
std::vector<StateFile> removeFiles(const std::vector<StateFile>& files);

} // namespace tavrel

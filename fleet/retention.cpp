// The retention sweep: dating files by name or modification time, choosing what goes, listing and removing.
#include "fleet/retention.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <numeric>
#include <sys/stat.h>
#include <system_error>

#include "platform/socket.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kStampDigits = 14; // YYYYMMDDhhmmss
constexpr std::size_t kNamesListed = 3;

int digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

// Days since 1970-01-01 of a calendar date.
std::int64_t dayNumber(const StampedTime& t) {
    using namespace std::chrono;
    return sys_days(year(t.year) / month(static_cast<unsigned>(t.month)) / day(static_cast<unsigned>(t.day)))
        .time_since_epoch()
        .count();
}

auto order(const StampedTime& t) {
    return std::tuple(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

std::string fileName(const std::string& path) {
    return fs::path(path).filename().string();
}

} // namespace

std::optional<StampedTime> dateInName(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot < kStampDigits + 1 || fileName[dot - kStampDigits - 1] != '_')
        return std::nullopt;
    const std::size_t at = dot - kStampDigits;
    if (!std::all_of(fileName.begin() + static_cast<std::ptrdiff_t>(at),
                     fileName.begin() + static_cast<std::ptrdiff_t>(dot),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }))
        return std::nullopt;
    const StampedTime t{digits(fileName, at, 4),      digits(fileName, at + 4, 2),
                        digits(fileName, at + 6, 2),  digits(fileName, at + 8, 2),
                        digits(fileName, at + 10, 2), digits(fileName, at + 12, 2)};
    const std::chrono::year_month_day date{std::chrono::year(t.year),
                                           std::chrono::month(static_cast<unsigned>(t.month)),
                                           std::chrono::day(static_cast<unsigned>(t.day))};
    if (!date.ok() || t.hour > 23 || t.minute > 59 || t.second > 60)
        return std::nullopt;
    return t;
}

std::vector<StateFile> filesToRemove(std::vector<StateFile> files, const StampedTime& today,
                                     const RetentionLimits& limits) {
    std::sort(files.begin(), files.end(), [](const StateFile& a, const StateFile& b) {
        return std::tuple(order(a.dated), a.path) < std::tuple(order(b.dated), b.path);
    });
    const std::int64_t lastKeptDay = dayNumber(today) - limits.keepDays;
    std::vector<StateFile> removed;
    std::vector<StateFile> kept;
    for (StateFile& file : files)
        (!file.inUse && dayNumber(file.dated) < lastKeptDay ? removed : kept).push_back(std::move(file));
    if (limits.maxBytes == 0)
        return removed;
    std::uint64_t total =
        std::accumulate(kept.begin(), kept.end(), std::uint64_t{0},
                        [](std::uint64_t sum, const StateFile& f) { return sum + f.bytes; });
    for (StateFile& file : kept) {
        if (total <= limits.maxBytes)
            break;
        if (file.inUse)
            continue;
        total -= file.bytes;
        removed.push_back(std::move(file));
    }
    return removed;
}

std::string describeRemoval(const std::vector<StateFile>& removed) {
    const std::uint64_t bytes =
        std::accumulate(removed.begin(), removed.end(), std::uint64_t{0},
                        [](std::uint64_t sum, const StateFile& f) { return sum + f.bytes; });
    std::string text = "retention: removed " + std::to_string(removed.size()) + " files, " +
                       std::to_string(bytes) + " bytes";
    if (removed.empty())
        return text;
    if (removed.size() <= kNamesListed) {
        text += ":";
        for (const StateFile& file : removed)
            text.append(" ").append(fileName(file.path)); // piece by piece: g++ 12 warns falsely otherwise
        return text;
    }
    const auto [oldest, newest] =
        std::minmax_element(removed.begin(), removed.end(),
                            [](const auto& a, const auto& b) { return order(a.dated) < order(b.dated); });
    return text + ", oldest " + fileName(oldest->path) + ", newest " + fileName(newest->path);
}

std::vector<StateFile> listStateFiles(const std::string& stateDir, const std::set<std::string>& inUse) {
    // Errors are passed over, never thrown: a directory that vanishes while it is read leaves fewer files.
    std::vector<StateFile> files;
    std::error_code error;
    for (fs::directory_iterator directory(stateDir, error), end; !error && directory != end;
         directory.increment(error)) {
        std::error_code ignored;
        sockaddr_in address{};
        if (!directory->is_directory(ignored) ||
            !makeIPv4Address(directory->path().filename().string(), 0, address))
            continue; // only the repeaters' own directories: whatever else lies there is not the collector's
        std::error_code inner;
        for (fs::directory_iterator entry(directory->path(), inner); !inner && entry != end;
             entry.increment(inner)) {
            struct stat status {};
            const std::string path = entry->path().string();
            if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
                continue;
            StateFile file{path, static_cast<std::uint64_t>(status.st_size), {}, inUse.contains(path)};
            file.dated =
                dateInName(entry->path().filename().string()).value_or(localStampedTime(status.st_mtime));
            files.push_back(std::move(file));
        }
    }
    return files;
}

std::vector<StateFile> removeFiles(const std::vector<StateFile>& files) {
    std::vector<StateFile> removed;
    for (const StateFile& file : files) {
        std::error_code error;
        if (fs::remove(file.path, error))
            removed.push_back(file);
    }
    return removed;
}

} // namespace tavrel

// Where a run's files go: log/ beside the executable when it can be written there, else the user's state
// directory, so that an installed program files into the home directory instead of losing every line.
#pragma once

#include <string>

namespace tavrel {

// What the choice depends on, gathered by the caller so that tests can put in their own.
struct LogPlaces {
    std::string executableDir; // empty when unknown
    std::string stateHome;     // $XDG_STATE_HOME; empty when unset
    std::string home;          // the user's home directory; empty when unknown

    // This process's: /proc/self/exe's directory, $XDG_STATE_HOME, and $HOME or else the password entry.
    static LogPlaces current();
};

// "<state home>/tavrel/log": $XDG_STATE_HOME when it is an absolute path, else <home>/.local/state (as the
// XDG base directory rules say a relative one is to be ignored). Empty when neither is absolute.
std::string stateLogDirectory(const LogPlaces& places);

// executableDir/log when it can be made and written (as the tool always did); otherwise the state
// directory's tavrel/log, created with its parents. When neither can be written the state directory is
// still returned (or log/ beside the executable when there is no absolute home), and the run files name it
// in their failure.
std::string chooseLogDirectory(const LogPlaces& places);

} // namespace tavrel

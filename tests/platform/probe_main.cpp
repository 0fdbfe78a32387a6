// A helper program for the platform tests: claims an instance slot or chooses the log directory, as the
// tool does at start-up, and prints what it got.
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "platform/log_directory.h"
#include "platform/named_lock.h"

namespace {

// "slot PREFIX": prints "slot N" and holds the slot until stdin closes, or prints "none" and exits with 1.
int holdSlot(const char* prefix) {
    const auto claim = tavrel::claimInstanceSlot(prefix);
    if (!claim) {
        std::printf("none\n");
        std::fflush(stdout);
        return 1;
    }
    std::printf("slot %d\n", claim->slot);
    std::fflush(stdout);
    char buffer[64];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}

// "logdir": prints the executable directory and the log directory chosen as the tool chooses it.
int prepareLog() {
    const tavrel::LogPlaces places = tavrel::LogPlaces::current();
    std::printf("exe %s\n", places.executableDir.c_str());
    std::printf("log %s\n", tavrel::chooseLogDirectory(places).c_str());
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && std::strcmp(argv[1], "slot") == 0)
        return holdSlot(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "logdir") == 0)
        return prepareLog();
    std::fprintf(stderr, "usage: %s slot PREFIX | logdir\n", argv[0]);
    return 2;
}

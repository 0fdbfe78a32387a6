// tavrel-repeater: emulated repeaters on the console, driven by options, standard-input lines and signals.
// A single repeater is a fleet of one that prints what it does; a fleet prints only what it is asked.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

#include "emulator/command_line.h"
#include "emulator/control_console.h"
#include "emulator/fleet_emulator.h"
#include "emulator/text_format.h"
#include "platform/scoped_fd.h"

namespace {

using namespace tavrel::emulator;

constexpr std::size_t kReadBytes = 4096;

// Console lines come from the emulator's thread and from the control lines' thread.
void printLine(const std::string& line) {
    static std::mutex printing;
    std::lock_guard lock(printing);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void say(std::string_view text) {
    printLine(stampedLine(text));
}

// Waits for control lines and stop signals. End of input only stops the reading: the emulator may run in
// the background with its input closed, and then only a signal ends it.
void serve(ControlConsole& console, int signalFd) {
    bool inputOpen = true;
    std::string pending;
    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(fds, inputOpen ? 2 : 1, -1) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            [[maybe_unused]] const auto read = ::read(signalFd, &info, sizeof info);
            say(textf("signal %u: stopping", info.ssi_signo));
            return;
        }
        if (!inputOpen || fds[1].revents == 0)
            continue;
        char buffer[kReadBytes];
        const ssize_t received = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (received < 0 && errno == EINTR)
            continue;
        if (received <= 0) {
            // A background job reading its terminal gets EIO (SIGTTIN is ignored): that input is closed too.
            inputOpen = false;
            if (!pending.empty() && !console.run(pending))
                return;
            say("standard input closed; stop with SIGINT or SIGTERM");
            continue;
        }
        pending.append(buffer, static_cast<std::size_t>(received));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string text = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!console.run(text))
                return;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    CommandLine commandLine = parseCommandLine(std::vector<std::string_view>(argv + 1, argv + argc));
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "tavrel-repeater: %s\nTry tavrel-repeater --help\n", commandLine.error.c_str());
        return 2;
    }
    if (commandLine.showHelp) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }

    // Stop signals arrive on a descriptor, blocked in every thread (the emulator's thread inherits the mask).
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTTIN, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const tavrel::ScopedFd signals(::signalfd(-1, &stopSignals, SFD_CLOEXEC));
    if (!signals.valid()) {
        std::perror("tavrel-repeater: signalfd");
        return 1;
    }

    const bool fleetMode = commandLine.fleet > 0;
    if (fleetMode) {
        // Three descriptors per repeater: more than the usual soft limit of 1024 for a fleet of a thousand.
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    } else {
        commandLine.options.console = printLine;
    }
    const std::string first = fleetMode ? commandLine.firstAddress : commandLine.options.address;
    FleetEmulator emulator(commandLine.options, fleetMode ? commandLine.fleet : 1, first,
                           fleetMode ? FleetTuning{}
                                     : FleetTuning{.timerGranularity = std::chrono::milliseconds(0)});
    if (!emulator.start()) {
        if (fleetMode)
            say(emulator.error()); // a single repeater has said why on its console
        return 1;
    }
    if (fleetMode)
        say(textf("fleet of %d repeaters listening on %s to %s:%u; type help for the control lines",
                  emulator.size(), emulator.address(1).c_str(), emulator.address(emulator.size()).c_str(),
                  kOmPort));
    else
        say("type help for the control lines");
    ControlConsole console(emulator, fleetMode, printLine);
    serve(console, signals.fd());
    emulator.stop();
    return 0;
}

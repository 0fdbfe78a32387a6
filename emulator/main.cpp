// tavrel-repeater: an emulated repeater on the console, driven by options, standard-input lines and signals.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

#include <functional>
#include <sys/resource.h>

#include "emulator/command_line.h"
#include "emulator/fleet_emulator.h"
#include "emulator/repeater_emulator.h"
#include "emulator/text_format.h"

namespace {

using namespace tavrel::emulator;

constexpr std::size_t kReadBytes = 4096;

// Owns one descriptor that is not a socket (the signal descriptor).
class ScopedDescriptor {
public:
    explicit ScopedDescriptor(int fd) : m_fd(fd) {}
    ~ScopedDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ScopedDescriptor(const ScopedDescriptor&) = delete;
    ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

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

// Runs one control line; false when it asks to quit.
bool control(RepeaterEmulator& emulator, std::string_view text) {
    const ControlLine line = parseControlLine(text);
    switch (line.kind) {
    case ControlKind::Alarm:
        emulator.setAlarmBits(line.alarmBits);
        break;
    case ControlKind::Log:
        if (emulator.sendLog(line.text))
            say(textf("log datagram of %zu bytes sent", line.text.size()));
        else
            say(emulator.logDestination() ? "log datagram not sent: the send failed"
                                          : "no log sent: no log destination (SETLOGDST) yet");
        break;
    case ControlKind::Air:
        if (emulator.sendAirRecord())
            say("air-log record sent");
        else
            say(emulator.airDestination() ? "air-log record not sent: the send failed"
                                          : "no record sent: no air-log destination (AILOGON) yet");
        break;
    case ControlKind::Reboot:
        emulator.reboot();
        break;
    case ControlKind::Drop:
        if (emulator.connected())
            emulator.dropConnection();
        else
            say("no connection to drop");
        break;
    case ControlKind::Quit:
        return false;
    case ControlKind::Help:
        printLine(controlHelpText());
        break;
    case ControlKind::Empty:
        break;
    case ControlKind::Invalid:
        say("unknown control line \"" + escapeText(text) + "\"; type help");
        break;
    }
    return true;
}

// Runs one fleet control line; false when it asks to quit.
bool controlFleet(FleetEmulator& fleet, std::string_view text) {
    const FleetControl line = parseFleetControlLine(text);
    bool known = true;
    switch (line.kind) {
    case FleetControlKind::Alarm:
        known = fleet.setAlarmBits(line.member, line.alarmBits);
        break;
    case FleetControlKind::Log:
        known = line.member >= 0 && line.member <= fleet.size();
        if (known && !fleet.sendLog(line.member, line.text))
            say("not every log datagram was sent: no log destination (SETLOGDST) yet, or the send failed");
        break;
    case FleetControlKind::Off:
        known = fleet.switchOff(line.member);
        break;
    case FleetControlKind::On:
        known = fleet.switchOn(line.member);
        break;
    case FleetControlKind::Reboot:
        known = fleet.reboot(line.member);
        break;
    case FleetControlKind::Drop:
        known = fleet.dropConnection(line.member);
        break;
    case FleetControlKind::Stats: {
        const FleetStats stats = fleet.stats();
        say(textf(
            "stats: %d repeaters, %d on, %d connected, %llu connections accepted, %llu numbered lines sent, "
            "%llu commands received, at most %d accepts in one millisecond",
            stats.members, stats.poweredOn, stats.connected,
            static_cast<unsigned long long>(stats.connections),
            static_cast<unsigned long long>(stats.numberedLinesSent),
            static_cast<unsigned long long>(stats.commandsReceived), stats.mostAcceptsInOneMs));
        fleet.resetAcceptCount();
        break;
    }
    case FleetControlKind::Quit:
        return false;
    case FleetControlKind::Help:
        printLine(fleetControlHelpText());
        break;
    case FleetControlKind::Empty:
        break;
    case FleetControlKind::Invalid:
        known = false;
        break;
    }
    if (!known)
        say("unknown control line or repeater number \"" + escapeText(text) + "\"; type help");
    return true;
}

// Waits for control lines and stop signals. End of input only stops the reading: the emulator may run in
// the background with its input closed, and then only a signal ends it.
void serve(const std::function<bool(std::string_view)>& control, int signalFd) {
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
            if (!pending.empty() && !control(pending))
                return;
            say("standard input closed; stop with SIGINT or SIGTERM");
            continue;
        }
        pending.append(buffer, static_cast<std::size_t>(received));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string text = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!control(text))
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

    // Stop signals arrive on a descriptor, blocked in every thread (the emulator's worker inherits the mask).
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTTIN, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const ScopedDescriptor signals(::signalfd(-1, &stopSignals, SFD_CLOEXEC));
    if (signals.fd() < 0) {
        std::perror("tavrel-repeater: signalfd");
        return 1;
    }

    if (commandLine.fleet > 0) {
        // Three descriptors per repeater: more than the usual soft limit of 1024 for a fleet of a thousand.
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        FleetEmulator fleet(std::move(commandLine.options), commandLine.fleet, commandLine.firstAddress);
        if (!fleet.start()) {
            say(fleet.error());
            return 1;
        }
        say(textf("fleet of %d repeaters listening on %s to %s:%u; type help for the control lines",
                  fleet.size(), fleet.address(1).c_str(), fleet.address(fleet.size()).c_str(), kOmPort));
        serve([&](std::string_view text) { return controlFleet(fleet, text); }, signals.fd());
        fleet.stop();
        return 0;
    }

    commandLine.options.console = printLine;
    RepeaterEmulator emulator(std::move(commandLine.options));
    if (!emulator.start())
        return 1;
    say("type help for the control lines");
    serve([&](std::string_view text) { return control(emulator, text); }, signals.fd());
    emulator.stop();
    return 0;
}

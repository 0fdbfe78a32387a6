// tavrel-collector: watches a fleet of repeaters without a display, as a systemd service or by hand.
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

#include "apps/collector/collector_command_line.h"
#include "apps/collector/service_notifier.h"
#include "fleet/fleet_collector.h"
#include "fleet/web_config.h"
#include "platform/scoped_fd.h"
#include "session/monitor_texts.h"

namespace {

using namespace tavrel;

constexpr int kBadArguments = 2;
constexpr int kCannotStart = 1;

// One socket per repeater: a fleet of a thousand needs more descriptors than the usual soft limit of 1024.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// The settings with --web.config.file in place of web_config, the web config checked too.
ConfigResult loadSettings(const CollectorCommandLine& line) {
    ConfigResult loaded = loadCollectorConfig(line.configPath, processEnvironment());
    if (!loaded.config)
        return loaded;
    if (!line.webConfigPath.empty())
        loaded.config->webConfig = line.webConfigPath;
    if (!loaded.config->webConfig.empty())
        if (const WebConfigResult web = loadWebConfig(loaded.config->webConfig); !web.config)
            return {std::nullopt, web.error};
    return loaded;
}

std::string summary(const std::string& path, const CollectorConfig& config) {
    std::string text =
        path + ": " + std::to_string(config.repeaters.size()) + " repeaters; logs to " + config.localAddress +
        " ports " + std::to_string(config.logPort) + " and " + std::to_string(config.airPort) +
        "; metrics on " + config.metricsAddress + ":" + std::to_string(config.metricsPort) +
        "; files under " + config.stateDir + ", kept " + std::to_string(config.keepDays) + " days" +
        (config.maxStateMb ? ", at most " + std::to_string(config.maxStateMb) + " MiB" : "") + "\n";
    if (!config.webConfig.empty())
        text += "web config " + config.webConfig + "\n";
    for (const WatchedRepeaterConfig& repeater : config.repeaters)
        text += "  " + repeater.name + " " + repeater.address + (repeater.airLog ? " air_log=on" : "") + "\n";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const CollectorCommandLine line =
        parseCollectorCommandLine(std::vector<std::string_view>(argv + 1, argv + argc));
    if (!line.error.empty()) {
        std::fprintf(stderr, "tavrel-collector: %s\nTry tavrel-collector --help\n", line.error.c_str());
        return kBadArguments;
    }
    if (line.showHelp) {
        std::fputs(collectorHelpText().c_str(), stdout);
        return 0;
    }
    if (line.showVersion) {
        std::printf("tavrel-collector %s\n", std::string(kVersionText).c_str());
        return 0;
    }
    const ConfigResult loaded = loadSettings(line);
    if (!loaded.config) {
        std::fprintf(stderr, "tavrel-collector: %s\n", loaded.error.c_str());
        return kBadArguments;
    }
    if (line.checkConfig) {
        std::fputs(summary(line.configPath, *loaded.config).c_str(), stdout);
        return 0;
    }

    raiseDescriptorLimit();
    // The stop and reload signals arrive on a descriptor the event loop watches, blocked in every thread.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t handledSignals;
    sigemptyset(&handledSignals);
    for (const int signal : {SIGHUP, SIGTERM, SIGINT})
        sigaddset(&handledSignals, signal);
    pthread_sigmask(SIG_BLOCK, &handledSignals, nullptr);
    const ScopedFd signalFd(::signalfd(-1, &handledSignals, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!signalFd.valid()) {
        std::perror("tavrel-collector: signalfd");
        return kCannotStart;
    }

    QCoreApplication app(argc, argv);
    FleetCollector fleet(*loaded.config);
    if (const std::string error = fleet.start(); !error.empty()) {
        std::fprintf(stderr, "tavrel-collector: %s\n", error.c_str());
        return kCannotStart;
    }
    ServiceNotifier service;
    QSocketNotifier signalNotifier(signalFd.fd(), QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        signalfd_siginfo info{};
        while (::read(signalFd.fd(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (info.ssi_signo != SIGHUP) {
                service.stopping();
                app.quit();
                return;
            }
            service.reloading();
            const ConfigResult reloaded = loadSettings(line);
            if (reloaded.config)
                fleet.reload(*reloaded.config);
            else
                fleet.reloadFailed(reloaded.error);
            service.ready();
        }
    });
    service.ready();
    return app.exec();
}

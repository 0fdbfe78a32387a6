// Parsing of --config, --check-config, --help and --version.
#include "apps/collector/collector_command_line.h"

namespace tavrel {

CollectorCommandLine parseCollectorCommandLine(const std::vector<std::string_view>& arguments) {
    CollectorCommandLine line;
    for (std::size_t i = 0; i < arguments.size() && line.error.empty(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--help" || argument == "-h")
            line.showHelp = true;
        else if (argument == "--version")
            line.showVersion = true;
        else if (argument == "--check-config")
            line.checkConfig = true;
        else if (argument.starts_with("--config="))
            line.configPath = std::string(argument.substr(9));
        else if (argument == "--config" && i + 1 < arguments.size())
            line.configPath = std::string(arguments[++i]);
        else if (argument == "--config")
            line.error = "--config needs a file";
        else
            line.error = "unknown argument '" + std::string(argument) + "'";
    }
    if (line.error.empty() && !line.showHelp && !line.showVersion && line.configPath.empty())
        line.error = "no --config FILE given";
    return line;
}

std::string collectorHelpText() {
    return "Usage: tavrel-collector --config FILE [--check-config]\n"
           "Watches every repeater named in FILE without a display: keeps each one's O&M link up, files its\n"
           "logs and alarm transitions as the Tavrel window does, and serves metrics for Prometheus.\n"
           "\n"
           "Options:\n"
           "  --config FILE     the settings file (INI): a [collector] section and one section per repeater\n"
           "  --check-config    check FILE, print what it holds and exit (status 2 when it is wrong)\n"
           "  --version         print the version and exit\n"
           "  --help, -h        this text\n"
           "\n"
           "[collector] keys: local_address (required), log_port (44320), air_port (45320),\n"
           "metrics_listen (127.0.0.1:9479), state_dir ($STATE_DIRECTORY, else "
           "$XDG_STATE_HOME/tavrel-collector).\n"
           "Repeater keys: address (required), air_log (on|off, default off).\n"
           "\n"
           "SIGHUP reads FILE again and adds, removes or restarts only the repeaters that changed;\n"
           "SIGTERM and SIGINT end the program. Exit status: 0 ended by a signal, 1 could not start\n"
           "(a port in use), 2 wrong arguments or settings.\n";
}

} // namespace tavrel

// Parsing of --config, --check-config, --web.config.file, --help and --version with QCommandLineParser; the
// help text is our own, as it tells the settings too.
#include "apps/collector/collector_command_line.h"

#include <QCommandLineParser>
#include <QStringList>

namespace tavrel {

CollectorCommandLine parseCollectorCommandLine(const std::vector<std::string_view>& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption config("config", {}, "FILE");
    const QCommandLineOption checkConfig("check-config");
    const QCommandLineOption webConfig("web.config.file", {}, "FILE");
    const QCommandLineOption version("version");
    const QCommandLineOption help(QStringList{"help", "h"});
    parser.addOptions({config, checkConfig, webConfig, version, help});
    QStringList list{"tavrel-collector"};
    for (const std::string_view argument : arguments)
        list << QString::fromUtf8(argument.data(), static_cast<qsizetype>(argument.size()));

    CollectorCommandLine line;
    if (!parser.parse(list)) {
        line.error = parser.errorText().toStdString();
        return line;
    }
    if (const QStringList extra = parser.positionalArguments(); !extra.isEmpty()) {
        line.error = "unknown argument '" + extra.first().toStdString() + "'";
        return line;
    }
    line.showHelp = parser.isSet(help);
    line.showVersion = parser.isSet(version);
    line.checkConfig = parser.isSet(checkConfig);
    line.configPath = parser.value(config).toStdString();
    line.webConfigPath = parser.value(webConfig).toStdString();
    if (parser.isSet(config) && line.configPath.empty())
        line.error = "--config needs a file";
    else if (parser.isSet(webConfig) && line.webConfigPath.empty())
        line.error = "--web.config.file needs a file";
    else if (!line.showHelp && !line.showVersion && line.configPath.empty())
        line.error = "no --config FILE given";
    return line;
}

std::string collectorHelpText() {
    return "Usage: tavrel-collector --config FILE [--check-config] [--web.config.file WEBFILE]\n"
           "Watches every repeater named in FILE without a display: keeps each one's O&M link up, files its\n"
           "logs and alarm transitions as the Tavrel window does, and serves metrics for Prometheus.\n"
           "\n"
           "Options:\n"
           "  --config FILE             the settings file (INI): a [collector] section and one section per\n"
           "                            repeater\n"
           "  --check-config            check FILE (and its web config), print what it holds and exit\n"
           "                            (status 2 when it is wrong)\n"
           "  --web.config.file WEBFILE the web configuration (TLS, basic auth, headers) in the format of\n"
           "                            Prometheus exporters; wins over web_config in FILE\n"
           "  --version                 print the version and exit\n"
           "  --help, -h                this text\n"
           "\n"
           "[collector] keys: local_address (required), log_port (44320), air_port (45320),\n"
           "metrics_listen (127.0.0.1:9479), state_dir ($STATE_DIRECTORY, else "
           "$XDG_STATE_HOME/tavrel-collector),\n"
           "keep_days (90), max_state_mb (no limit), keep_files_open (on),\n"
           "web_config (none: plain HTTP without authentication).\n"
           "Repeater keys: address (required), air_log (on|off, default off), relay_listen (no relay),\n"
           "relay_allow (127.0.0.0/8), relay_max_clients (8), relay_commands (on).\n"
           "\n"
           "SIGHUP reads FILE again and adds, removes or restarts only the repeaters that changed; the web\n"
           "config, and the certificate and key files it names, are read again whenever they change.\n"
           "SIGTERM and SIGINT end the program. Exit status: 0 ended by a signal, 1 could not start\n"
           "(a port in use), 2 wrong arguments or settings.\n";
}

} // namespace tavrel

// The tool under test: services, main window and shutdown exactly as the tool has them, plus a control
// channel.
#include "bench/window_process.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

#include "bench/proc_stats.h"
#include "session/repeater_session.h"
#include "ui/monitor_ids.h"
#include "ui/tavrel_dlg.h"

namespace tavrel::bench {
namespace {

constexpr int kDefaultMaxSeconds = 900;

struct WindowOptions {
    MonitorSettings settings;
    std::string executableDir;
    bool airLogOn = false;
    // Speed mechanisms switched off, to measure what each brings.
    bool hubWatch = true;
    EventLogTuning tuning;
    bool lampRest = true;
    bool statusRest = true;
    int maxSeconds = kDefaultMaxSeconds;
};

// "hub-watch", "batching", "steady-scroll-bar", "repaint-new-lines", "lamp-rest", "status-rest",
// comma-separated.
bool applyWithout(const std::string& list, WindowOptions& options) {
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t end = std::min(list.find(',', at), list.size());
        const std::string name = list.substr(at, end - at);
        if (name == "hub-watch")
            options.hubWatch = false;
        else if (name == "batching")
            options.tuning.batchLines = false;
        else if (name == "steady-scroll-bar")
            options.tuning.steadyScrollBar = false;
        else if (name == "repaint-new-lines")
            options.tuning.repaintNewLinesOnly = false;
        else if (name == "lamp-rest")
            options.lampRest = false;
        else if (name == "status-rest")
            options.statusRest = false;
        else if (!name.empty())
            return false;
        at = end + 1;
    }
    return true;
}

std::optional<WindowOptions> parseOptions(int argc, char** argv) {
    WindowOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--air-log-on") {
            options.airLogOn = true;
            continue;
        }
        if (i + 1 >= argc)
            return std::nullopt;
        const std::string value = argv[++i];
        if (name == "--without") {
            if (!applyWithout(value, options))
                return std::nullopt;
            continue;
        }
        if (name == "--local")
            options.settings.localAddress = value;
        else if (name == "--log-port")
            options.settings.monitorRxPort = std::atoi(value.c_str());
        else if (name == "--air-port")
            options.settings.airLogRxPort = std::atoi(value.c_str());
        else if (name == "--repeater")
            options.settings.repeaterAddress = value;
        else if (name == "--via" && value.rfind(':') != std::string::npos) {
            options.settings.viaAddress = value.substr(0, value.rfind(':'));
            options.settings.viaPort =
                static_cast<std::uint16_t>(std::atoi(value.c_str() + value.rfind(':') + 1));
        } else if (name == "--dir")
            options.executableDir = value;
        else if (name == "--max-seconds")
            options.maxSeconds = std::atoi(value.c_str());
        else
            return std::nullopt;
    }
    if (options.settings.localAddress.empty() || options.settings.repeaterAddress.empty() ||
        options.executableDir.empty() || options.settings.monitorRxPort <= 0 ||
        options.settings.airLogRxPort <= 0)
        return std::nullopt;
    return options;
}

// One whole line per write, unbuffered, so the bench sees it the moment it is written.
void reply(const std::string& text) {
    const std::string line = text + "\n";
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, line.data(), line.size());
}

// Beside the real window: tells the bench when a connection has been handled, and turns the air log on once.
class ConnectionReporter : public SessionListener {
public:
    ConnectionReporter(CTavrelDlg& window, bool airLogOn) : m_window(window), m_airLogOn(airLogOn) {}

    void onConnectionChanged(bool connected) override {
        if (!connected)
            return;
        reply("connected " + std::to_string(monotonicNs()));
        if (m_airLogOn && !m_airLogShown) {
            m_airLogShown = true;
            m_window.onMenuCommand(command::kAirLogOn);
            reply("air-log-on");
        }
    }

private:
    CTavrelDlg& m_window;
    const bool m_airLogOn;
    bool m_airLogShown = false;
};

// Reads control lines on the window's thread.
class ControlInput {
public:
    explicit ControlInput(QWidget& window)
        : m_window(window), m_notifier(STDIN_FILENO, QSocketNotifier::Read) {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] { readInput(); });
    }

private:
    void readInput() {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            m_notifier.setEnabled(false);
            m_window.close(); // the bench has gone: do not outlive it
            return;
        }
        m_pending.append(buffer, static_cast<std::size_t>(got));
        for (auto end = m_pending.find('\n'); end != std::string::npos; end = m_pending.find('\n')) {
            const std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            if (line == "usage")
                reply("usage " + std::to_string(processCpuMicros()));
            else if (line == "close")
                m_window.close();
        }
    }

    QWidget& m_window;
    QSocketNotifier m_notifier;
    std::string m_pending;
};

} // namespace

int runWindowProcess(int argc, char** argv) {
    const auto options = parseOptions(argc, argv);
    if (!options) {
        reply("error: usage: window --local A --log-port P --air-port Q --repeater R --dir D [--air-log-on] "
              "[--max-seconds S] [--without "
              "hub-watch,batching,steady-scroll-bar,repaint-new-lines,lamp-rest,status-rest] [--via A:P]");
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);

    // As runMainWindow() builds them. The link is started once the reporter listens too.
    std::string linkAddress;
    SessionOptions sessionOptions;
    sessionOptions.waits =
        options->hubWatch ? NotificationHub::Waits::WatchFirst : NotificationHub::Waits::SleepAtOnce;
    sessionOptions.startLink = [&linkAddress](std::string_view address) {
        linkAddress = address;
        return 0;
    };
    RepeaterSession session(options->settings, options->executableDir + "/log", std::move(sessionOptions));
    int exitCode = 0;
    {
        CTavrelDlg window(session);
        window.eventLog().setTuning(options->tuning);
        window.setLampRest(options->lampRest);
        window.setStatusRest(options->statusRest);
        ConnectionReporter reporter(window, options->airLogOn);
        session.addListener(reporter);
        reply("runlog " + session.runFiles().runLogPath());
        reply("downlink " + session.runFiles().downlinkDataPath());
        reply("uplink " + session.runFiles().uplinkDataPath());
        const MonitorSettings& settings = options->settings;
        const int started = settings.viaAddress.empty()
                                ? session.link().startOmLink(linkAddress)
                                : session.link().startOmLink(settings.viaAddress, settings.viaPort);
        if (started != 0) {
            reply("error: the O&M link did not start: " + std::to_string(started));
            exitCode = 1;
        } else {
            ControlInput control(window);
            QTimer::singleShot(options->maxSeconds * 1000, &window, [&window] { window.close(); });
            window.exec();
        }
        session.removeListener(reporter);
    }
    return exitCode; // the session stops and joins its tasks as runMainWindow()'s does
}

} // namespace tavrel::bench

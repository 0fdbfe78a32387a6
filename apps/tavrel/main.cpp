// Process entry of the Tavrel repeater monitor.
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QIcon>

#include "apps/tavrel/command_line.h"
#include "apps/tavrel/tavrel_app.h"
#include "resources/resource_paths.h"
#include "ui/run_main_window.h"

namespace {

std::vector<std::string> argumentsOf(int argc, char* argv[]) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

} // namespace

int main(int argc, char* argv[]) {
    // Answered before Qt starts, so that they need no display.
    const tavrel::CommandLine early = tavrel::parseCommandLine(argumentsOf(argc, argv));
    if (early.help || early.version) {
        std::fputs((early.help ? tavrel::usageText() : tavrel::versionText()).c_str(), stdout);
        return 0;
    }

    QApplication application(argc, argv); // takes Qt's own options out of argv
    // The desktop matches the windows to the installed launcher entry and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(TAVREL_DESKTOP_ID));
    QApplication::setApplicationName(QStringLiteral("Tavrel"));
    QApplication::setApplicationVersion(QStringLiteral(TAVREL_VERSION));
    QApplication::setWindowIcon(QIcon(tavrel::resource::applicationIcon()));
    tavrel::CTavrelApp app;
    tavrel::CommandLine line = tavrel::parseCommandLine(argumentsOf(argc, argv));
    app.prefill = std::move(line.prefill);
    app.viaAddress = std::move(line.viaAddress);
    app.viaPort = line.viaPort;
    app.runMainWindow = tavrel::runMainWindow;
    return app.run();
}

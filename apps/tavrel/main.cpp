// Process entry of the Tavrel repeater monitor.
#include <QApplication>
#include <QIcon>

#include "apps/tavrel/tavrel_app.h"
#include "resources/resource_paths.h"
#include "ui/run_main_window.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The desktop matches the windows to the installed launcher entry and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(TAVREL_DESKTOP_ID));
    QApplication::setApplicationName(QStringLiteral("Tavrel"));
    QApplication::setApplicationVersion(QStringLiteral(TAVREL_VERSION));
    QApplication::setWindowIcon(QIcon(tavrel::resource::applicationIcon()));
    tavrel::CTavrelApp app;
    app.runMainWindow = tavrel::runMainWindow;
    return app.run();
}

// Process entry of the Tavrel repeater monitor.
#include <QApplication>
#include <QIcon>

#include "apps/tavrel/tavrel_app.h"
#include "resources/resource_paths.h"
#include "ui/run_main_window.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(QIcon(tavrel::resource::applicationIcon()));
    tavrel::CTavrelApp app;
    app.runMainWindow = tavrel::runMainWindow;
    return app.run();
}

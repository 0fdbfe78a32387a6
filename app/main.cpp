// Process entry of the Tavrel repeater monitor.
#include <QApplication>
#include <QIcon>

#include "app/tavrel_app.h"
#include "monitor/run_main_window.h"
#include "resources/resource_paths.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(QIcon(tavrel::resource::applicationIcon()));
    tavrel::CTavrelApp app;
    app.runMainWindow = tavrel::runMainWindow;
    return app.run();
}

// Process entry of the Tavrel repeater monitor.
#include <QApplication>

#include "app/tavrel_app.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tavrel::CTavrelApp app;
    // Main window seam: app.runMainWindow = a function that runs CTavrelDlg modally with the settings and the
    // executable directory and returns the exit code. While it is unset, "Continue" ends the program with 0.
    return app.run();
}

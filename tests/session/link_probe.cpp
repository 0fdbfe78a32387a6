// A program that links the session library and uses it, so that what the library pulls in can be inspected.
#include <QCoreApplication>

#include "session/repeater_session.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    tavrel::RepeaterSession session(tavrel::MonitorSettings{}, "/nonexistent");
    return session.connected() ? 1 : 0;
}

// Renders the setup dialog, the main window connected to an emulated repeater with an alarm lit, the air log
// window, the alarm history window and the find bar, into PNG files for the README. Run under a real X
// display (scripts/screenshots.sh uses Xvfb).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#include <QThread>

#include "emulator/repeater_emulator.h"
#include "handoff/notification.h"
#include "resources/resource_paths.h"
#include "ui/air_log_dlg.h"
#include "ui/alarm_history_dlg.h"
#include "ui/find_bar.h"
#include "ui/message_boxes.h"
#include "ui/monitor_ids.h"
#include "ui/setup_dlg.h"
#include "ui/tavrel_dlg.h"

namespace {

using namespace std::chrono_literals;

// Answers every message box with OK without showing it: nobody is there to click.
class SilentMessageBoxes : public tavrel::MessageBoxes {
public:
    void inform(QWidget*, const QString&) override {}
    bool confirm(QWidget*, const QString&) override { return true; }
};

// Lets the event loop run until the condition holds or the time is up.
template <typename Condition> bool processUntil(Condition condition, std::chrono::milliseconds limit) {
    QDeadlineTimer deadline(limit.count());
    while (!condition() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return condition();
}

void settle(std::chrono::milliseconds time) {
    processUntil([] { return false; }, time);
}

bool save(QWidget& widget, const std::filesystem::path& file) {
    const bool saved = widget.grab().save(QString::fromStdString(file.string()));
    std::printf("%s %s\n", saved ? "wrote" : "could not write", file.c_str());
    return saved;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(QIcon(tavrel::resource::applicationIcon()));
    const std::filesystem::path outDir = argc > 1 ? argv[1] : "docs";
    std::filesystem::create_directories(outDir);
    const std::filesystem::path runDir = std::filesystem::temp_directory_path() / "tavrel-screenshots";
    std::filesystem::create_directories(runDir / "log");
    SilentMessageBoxes boxes;
    bool ok = true;

    {
        tavrel::SetupDlgServices services;
        services.localAddresses = [] { return std::vector<std::string>{"127.0.0.1", "192.0.2.15"}; };
        services.messageBoxes = &boxes;
        tavrel::CSetupDlg setup(0, services);
        setup.show();
        settle(300ms);
        ok &= save(setup, outDir / "setup-dialog.png");
    }

    tavrel::emulator::EmulatorOptions options;
    options.address = "127.0.9.2";
    options.alarmBits = 0x04; // Rx PLL
    tavrel::emulator::RepeaterEmulator repeater(options);
    if (!repeater.start()) {
        std::fprintf(stderr, "the emulated repeater could not listen on 127.0.9.2:2301\n");
        return 1;
    }

    tavrel::MonitorSettings settings{"127.0.9.1", 44320, 45320, "127.0.9.2"};
    {
        tavrel::RepeaterSession session(settings, (runDir / "log").string());
        tavrel::CTavrelDlg window(session, &boxes);
        window.show();
        if (!processUntil([&] { return window.session().connected(); }, 10s)) {
            std::fprintf(stderr, "the main window did not connect to the emulated repeater\n");
            return 1;
        }
        // A little alarm history: Rx PLL found active, Tx PLL raised and cleared again.
        for (const int bits : {0x04, 0x0C, 0x04}) {
            repeater.setAlarmBits(bits);
            window.session().onTimer(tavrel::timer::kAlarmQuery);
            processUntil([&] { return window.lamps().alarmBits() == bits; }, 5s);
            settle(1200ms);
        }
        window.onMenuCommand(tavrel::command::kVersionInfo);
        settle(2500ms);                                      // a few of the repeater's status lines
        window.onLampTick(); // the alarm lamp in its red-on-red picture
        ok &= save(window, outDir / "main-window.png");

        window.onMenuCommand(tavrel::command::kAlarmHistory);
        settle(300ms);
        ok &= save(*window.alarmHistoryDlg(), outDir / "alarm-history-window.png");
        window.alarmHistoryDlg()->hide();

        window.openFindBar();
        window.findBar()->field()->setText(QStringLiteral("alarm"));
        window.findBar()->step(tavrel::FindDirection::Backward); // the newest match
        settle(300ms);
        ok &= save(window, outDir / "find-bar.png");
        window.findBar()->close();

        window.onMenuCommand(tavrel::command::kAirLogOn);
        settle(1500ms);
        window.airLogDlg()->showNewEntries();
        ok &= save(*window.airLogDlg(), outDir / "air-log-window.png");
    }
    repeater.stop();
    return ok ? 0 : 1;
}

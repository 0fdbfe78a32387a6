// The window tool as installed, with the operator played by the program: it runs the same start-up and main
// window as `tavrel`, answers each message box, fills in the setup dialog, closes the main window once it is
// shown and prints what the installed-program test checks. Copied beside the installed `tavrel` by that test
// only; never installed otherwise.
#include <cstdio>

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "apps/tavrel/tavrel_app.h"
#include "ui/ipv4_edit.h"
#include "ui/run_main_window.h"
#include "ui/tavrel_dlg.h"

namespace {

using tavrel::CSetupDlg;

// Loopback only: nothing listens on the repeater address, so the link just keeps trying until the close.
constexpr char kLocalAddress[] = "127.0.0.1";
constexpr char kRepeaterAddress[] = "127.0.9.99";
// Slots of its own, so that a tool running on this machine keeps its slot and its default ports.
constexpr char kLockPrefix[] = "tavrel-install-test#";

// Acts on whichever window is in front (the modal one), so that nothing is clicked behind a message box.
class Operator {
public:
    Operator() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { act(); });
        m_timer.start(10);
    }

    bool failed() const { return m_failed; }

private:
    void act() {
        QWidget* front = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(front)) {
            std::printf("box %s\n", box->text().toUtf8().constData());
            std::fflush(stdout);
            box->done(QMessageBox::Ok);
        } else if (auto* setup = qobject_cast<CSetupDlg*>(front); setup && !m_setupAnswered) {
            m_setupAnswered = true;
            answer(*setup);
        } else if (auto* window = qobject_cast<tavrel::CTavrelDlg*>(front)) {
            window->close();
        }
    }

    void answer(CSetupDlg& setup) {
        auto* local = qobject_cast<QComboBox*>(setup.control(CSetupDlg::kIdLocalAddress));
        const int loopback = local->findText(QString::fromLatin1(kLocalAddress));
        auto* repeater = qobject_cast<tavrel::Ipv4Edit*>(setup.control(CSetupDlg::kIdRepeaterAddress));
        if (loopback < 0) {
            std::printf("error: %s is not offered as a local address\n", kLocalAddress);
            m_failed = true;
            setup.reject();
            return;
        }
        local->setCurrentIndex(loopback);
        repeater->setAddress(QString::fromLatin1(kRepeaterAddress));
        qobject_cast<QPushButton*>(setup.control(CSetupDlg::kIdContinue))->click();
    }

    QTimer m_timer;
    bool m_setupAnswered = false;
    bool m_failed = false;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tavrel::CTavrelApp app(kLockPrefix);
    app.runMainWindow = tavrel::runMainWindow;
    Operator player;
    const int exitCode = app.run();
    std::printf("log %s\n", app.logDirectory().c_str());
    return player.failed() ? 1 : exitCode;
}

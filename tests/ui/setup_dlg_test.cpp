// The setup dialog driven as an operator would: its template, initialisation order, warning and checks.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "tests/support/fake_message_boxes.h"
#include "ui/dialog_units.h"
#include "ui/ipv4_edit.h"
#include "ui/setup_dlg.h"

namespace tavrel {
namespace {

constexpr char kWarning[] =
    "This tool can't control the same repeater with the Corvelle at the same time.\n"
    "Please close the Corvelle before running this monitor tool, and close the monitor\n"
    "tool before running the Corvelle, otherwise unexpected error will occure.";

class SetupDialog : public ::testing::Test {
protected:
    std::unique_ptr<CSetupDlg> open(int slot,
                                    std::vector<std::string> addresses = {"127.0.1.20", "127.0.1.30"},
                                    bool networkStarts = true) {
        SetupDlgServices services;
        services.startNetwork = [networkStarts] { return networkStarts; };
        services.localAddresses = [addresses] { return addresses; };
        services.messageBoxes = &m_boxes;
        return std::make_unique<CSetupDlg>(slot, services);
    }
    // Shows the dialog and lets the warning that follows the first show come up.
    void showAndAnswerWarning(CSetupDlg& dialog) {
        const std::size_t before = m_boxes.shown().size();
        dialog.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_boxes.shown().size() > before; }, 5000));
    }

    static Ipv4Edit* repeater(CSetupDlg& d) {
        return qobject_cast<Ipv4Edit*>(d.control(CSetupDlg::kIdRepeaterAddress));
    }
    static QLineEdit* monitorPort(CSetupDlg& d) {
        return qobject_cast<QLineEdit*>(d.control(CSetupDlg::kIdMonitorRxPort));
    }
    static QLineEdit* airLogPort(CSetupDlg& d) {
        return qobject_cast<QLineEdit*>(d.control(CSetupDlg::kIdAirLogRxPort));
    }
    static QComboBox* localList(CSetupDlg& d) {
        return qobject_cast<QComboBox*>(d.control(CSetupDlg::kIdLocalAddress));
    }
    static QPushButton* button(CSetupDlg& d, int id) { return qobject_cast<QPushButton*>(d.control(id)); }

    // Presses "Continue" and returns the message it showed, empty when none.
    QString pressContinue(CSetupDlg& dialog) {
        m_boxes.forget();
        QTest::mouseClick(button(dialog, CSetupDlg::kIdContinue), Qt::LeftButton);
        EXPECT_LE(m_boxes.shown().size(), 1u);
        if (m_boxes.shown().empty())
            return {};
        EXPECT_FALSE(m_boxes.shown().back().withCancel);
        EXPECT_TRUE(dialog.isVisible()) << "a refused Continue leaves the dialog open";
        return m_boxes.last();
    }

    test::FakeMessageBoxes m_boxes;
};

TEST_F(SetupDialog, FollowsItsTemplate) {
    auto dialog = open(0);
    EXPECT_EQ(dialog->windowTitle(), "Setup parameters");
    const QString family = QFontInfo(dialog->font()).family();
    EXPECT_TRUE(family == "Times New Roman" || family == "Liberation Serif") << family.toStdString();
    EXPECT_EQ(dialog->font().pointSize(), 10);
    const DialogUnits units(dialog->font());
    EXPECT_EQ(dialog->size(), units.toPixels(QSize(182, 90)));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());

    QStringList labels;
    for (const QLabel* label : dialog->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        labels << label->text();
    EXPECT_EQ(
        labels,
        (QStringList{"Monitor Rx Address:", "Monitor Rx Port:", "Repeater Address:", "Air Log Rx Port:"}));
    EXPECT_EQ(button(*dialog, 1004)->text(), "Continue");
    EXPECT_EQ(button(*dialog, 1005)->text(), "Quit");
    EXPECT_TRUE(repeater(*dialog) && monitorPort(*dialog) && localList(*dialog) && airLogPort(*dialog));
    EXPECT_FALSE(localList(*dialog)->isEditable());
    EXPECT_EQ(monitorPort(*dialog)->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);

    // Tab order of the template: 1000, 1002, 1003, 1004, 1005, 1006, and round again.
    std::vector<QWidget*> tabStops;
    QWidget* widget = repeater(*dialog)->focusProxy();
    for (int step = 0; step < 7; ++step) {
        tabStops.push_back(widget);
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isEnabled() || widget == dialog.get());
    }
    const std::vector<QWidget*> expected{
        repeater(*dialog)->focusProxy(), monitorPort(*dialog),  localList(*dialog),
        button(*dialog, 1004),           button(*dialog, 1005), airLogPort(*dialog),
        repeater(*dialog)->focusProxy()};
    EXPECT_EQ(tabStops, expected);
}

TEST_F(SetupDialog, ListsTheLocalAddressesSelectsTheFirstAndProposesTheSlotsPorts) {
    auto dialog = open(0);
    ASSERT_EQ(localList(*dialog)->count(), 2);
    EXPECT_EQ(localList(*dialog)->itemText(1), "127.0.1.30");
    EXPECT_EQ(localList(*dialog)->currentText(), "127.0.1.20");
    EXPECT_EQ(repeater(*dialog)->octets(), (Ipv4Octets{127, 0, 1, 20}));
    EXPECT_EQ(monitorPort(*dialog)->text(), "44320");
    EXPECT_EQ(airLogPort(*dialog)->text(), "45320");

    auto last = open(15);
    EXPECT_EQ(monitorPort(*last)->text(), "44350");
    EXPECT_EQ(airLogPort(*last)->text(), "45350");
    EXPECT_TRUE(m_boxes.shown().empty()) << "no message before the dialog is shown";
}

TEST_F(SetupDialog, ChoosingAnotherLocalAddressRewritesTheRepeaterEntry) {
    auto dialog = open(3);
    repeater(*dialog)->setAddress(QStringLiteral("127.0.1.99"));
    localList(*dialog)->setCurrentIndex(1);
    EXPECT_EQ(repeater(*dialog)->octets(), (Ipv4Octets{127, 0, 1, 30}));
}

TEST_F(SetupDialog, WarnsOnceWhenShownAndCancelDisablesContinue) {
    auto dialog = open(0);
    showAndAnswerWarning(*dialog);
    ASSERT_EQ(m_boxes.shown().size(), 1u);
    EXPECT_EQ(m_boxes.shown()[0].text, kWarning);
    EXPECT_TRUE(m_boxes.shown()[0].withCancel);
    EXPECT_TRUE(button(*dialog, CSetupDlg::kIdContinue)->isEnabled());

    dialog->hide();
    dialog->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_boxes.shown().size(), 1u);

    m_boxes.forget();
    m_boxes.answerCancel();
    auto declined = open(0);
    showAndAnswerWarning(*declined);
    EXPECT_FALSE(button(*declined, CSetupDlg::kIdContinue)->isEnabled());
    EXPECT_TRUE(button(*declined, CSetupDlg::kIdQuit)->isEnabled());
}

TEST_F(SetupDialog, NetworkThatCannotStartLeavesOnlyQuit) {
    auto dialog = open(0, {"127.0.1.20"}, false);
    ASSERT_EQ(m_boxes.shown().size(), 1u);
    EXPECT_EQ(m_boxes.last(), "Fail to initiate network environment");
    EXPECT_FALSE(m_boxes.shown()[0].withCancel);
    EXPECT_FALSE(button(*dialog, CSetupDlg::kIdContinue)->isEnabled());
    // Initialisation stopped there: nothing listed, no ports, no warning.
    EXPECT_EQ(localList(*dialog)->count(), 0);
    EXPECT_TRUE(monitorPort(*dialog)->text().isEmpty());
    dialog->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_boxes.shown().size(), 1u);
}

TEST_F(SetupDialog, ContinueRefusesBadPortsWithTheirMessages) {
    auto dialog = open(0);
    showAndAnswerWarning(*dialog);
    repeater(*dialog)->setAddress(QStringLiteral("127.0.1.21"));
    for (const char* port : {"0", "", "70000", "99999", "65536"}) {
        monitorPort(*dialog)->setText(QString::fromLatin1(port));
        EXPECT_EQ(pressContinue(*dialog), "Invalid monitor rx port") << port;
    }
    monitorPort(*dialog)->setText(QStringLiteral("65535"));
    for (const char* port : {"0", "", "70000", "99999"}) {
        airLogPort(*dialog)->setText(QString::fromLatin1(port));
        EXPECT_EQ(pressContinue(*dialog), "Invalid air log rx port") << port;
    }
    // Digits only: letters never get into a port field.
    airLogPort(*dialog)->clear();
    QTest::keyClicks(airLogPort(*dialog), "4a5-3 20");
    EXPECT_EQ(airLogPort(*dialog)->text(), "45320");
    EXPECT_EQ(pressContinue(*dialog), "");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->settings().monitorRxPort, 65535);
    EXPECT_EQ(dialog->settings().airLogRxPort, 45320);
}

TEST_F(SetupDialog, ContinueChecksTheRepeaterAddress) {
    auto dialog = open(0);
    showAndAnswerWarning(*dialog);
    EXPECT_EQ(pressContinue(*dialog), "Same address with the repeater?!");
    for (const char* bad : {"0.1.2.3", "10.1.2.0"}) {
        repeater(*dialog)->setAddress(QString::fromLatin1(bad));
        EXPECT_EQ(pressContinue(*dialog), "Invalid repeater address") << bad;
    }
    repeater(*dialog)->clear();
    EXPECT_EQ(pressContinue(*dialog), "Invalid repeater address");

    repeater(*dialog)->setAddress(QStringLiteral("10.0.0.1"));
    EXPECT_EQ(pressContinue(*dialog), "");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    const MonitorSettings& settings = dialog->settings();
    EXPECT_EQ(settings.localAddress, "127.0.1.20");
    EXPECT_EQ(settings.monitorRxPort, 44320);
    EXPECT_EQ(settings.airLogRxPort, 45320);
    EXPECT_EQ(settings.repeaterAddress, "10.0.0.1");
}

TEST_F(SetupDialog, ValuesOfEarlierChecksStayStoredWhenALaterOneFails) {
    auto dialog = open(2);
    showAndAnswerWarning(*dialog);
    localList(*dialog)->setCurrentIndex(1);
    airLogPort(*dialog)->setText(QStringLiteral("0"));
    EXPECT_EQ(pressContinue(*dialog), "Invalid air log rx port");
    EXPECT_EQ(dialog->settings().localAddress, "127.0.1.30");
    EXPECT_EQ(dialog->settings().monitorRxPort, 44324);
    EXPECT_EQ(dialog->settings().repeaterAddress, "");

    airLogPort(*dialog)->setText(QStringLiteral("45324"));
    EXPECT_EQ(pressContinue(*dialog), "Same address with the repeater?!");
    EXPECT_EQ(dialog->settings().repeaterAddress, "127.0.1.30");
    EXPECT_EQ(dialog->result(), 0);
}

TEST_F(SetupDialog, WithoutALocalAddressTheEntryIsEmptyAndContinueSaysWhy) {
    auto dialog = open(0, {});
    showAndAnswerWarning(*dialog);
    EXPECT_EQ(localList(*dialog)->count(), 0);
    EXPECT_TRUE(repeater(*dialog)->isBlank());
    repeater(*dialog)->setAddress(QStringLiteral("10.0.0.1"));
    EXPECT_EQ(pressContinue(*dialog), "No local IPv4 address to receive the logs on");
    EXPECT_EQ(dialog->settings().localAddress, "");
}

TEST_F(SetupDialog, EnterAndEscapeNeverEndTheDialogButQuitAndTheCloseBoxDo) {
    auto dialog = open(0);
    showAndAnswerWarning(*dialog);
    const std::vector<QWidget*> targets{dialog.get(), monitorPort(*dialog),
                                        button(*dialog, CSetupDlg::kIdContinue), repeater(*dialog)->field(3)};
    for (QWidget* target : targets)
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(target, key);
            EXPECT_TRUE(dialog->isVisible());
        }
    EXPECT_EQ(m_boxes.shown().size(), 1u) << "Enter must not press Continue";

    QTest::mouseClick(button(*dialog, CSetupDlg::kIdQuit), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);

    auto closed = open(0);
    showAndAnswerWarning(*closed);
    closed->close();
    EXPECT_FALSE(closed->isVisible());
    EXPECT_EQ(closed->result(), QDialog::Rejected);
}

} // namespace
} // namespace tavrel

// The PLL dialog offscreen: captions, operation list, frequency rules and the "Invalid frequency" box.
#include "ui/pll_param_dlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/support/fake_message_boxes.h"
#include "tests/ui/message_box_answerer.h"
#include "ui/message_boxes.h"

namespace tavrel {
namespace {

QPushButton* button(const QWidget& dialog, const QString& text) {
    for (auto* candidate : dialog.findChildren<QPushButton*>())
        if (candidate->text() == text)
            return candidate;
    return nullptr;
}

QStringList labels(const QWidget& dialog) {
    QStringList texts;
    for (const auto* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

using RecordingMessageBoxes = test::FakeMessageBoxes;

// Chooses the operation, types the frequency as the operator would and presses "Set".
void choose(CPLLParamDlg& dialog, int operation, const QString& typed) {
    dialog.operationList()->setCurrentIndex(operation);
    QTest::keyClicks(dialog.frequencyField(), typed);
    button(dialog, "Set")->click();
}

TEST(PllParamDlg, CaptionOperationsAndControls) {
    CPLLParamDlg rx(om::PllTarget::Rx);
    CPLLParamDlg tx(om::PllTarget::Tx);
    EXPECT_EQ(rx.windowTitle(), "Rx PLL setting");
    EXPECT_EQ(tx.windowTitle(), "Tx PLL setting");

    QComboBox* operations = rx.operationList();
    ASSERT_EQ(operations->count(), 4);
    EXPECT_EQ(operations->itemText(0), "Set Normally");
    EXPECT_EQ(operations->itemText(1), "Power Only");
    EXPECT_EQ(operations->itemText(2), "VCO Only");
    EXPECT_EQ(operations->itemText(3), "Power & VCO");
    EXPECT_EQ(operations->currentIndex(), 0);
    EXPECT_EQ(operations->property("controlId").toInt(), 1006);
    EXPECT_TRUE(rx.frequencyField()->text().isEmpty());
    EXPECT_EQ(rx.frequencyField()->property("controlId").toInt(), 1007);
    ASSERT_NE(button(rx, "Set"), nullptr);
    ASSERT_NE(button(rx, "Cancel"), nullptr);
    EXPECT_EQ(button(rx, "Set")->property("controlId").toInt(), 1008);
    EXPECT_EQ(button(rx, "Cancel")->property("controlId").toInt(), 1009);
    for (const char* text : {"Operation:", "Frequency:", "Hz"})
        EXPECT_TRUE(labels(rx).contains(text)) << text;
    EXPECT_EQ(rx.font().family(), "Times New Roman");
    EXPECT_EQ(rx.minimumSize(), rx.maximumSize());
    EXPECT_GT(rx.width(), rx.height());
}

TEST(PllParamDlg, FrequencyFieldTakesDigitsOnly) {
    CPLLParamDlg dialog(om::PllTarget::Rx);
    QTest::keyClicks(dialog.frequencyField(), "4a3-5 0.0");
    EXPECT_EQ(dialog.frequencyField()->text(), "43500");
}

TEST(PllParamDlg, NormalSettingWithoutFrequencyIsRefused) {
    for (const QString& typed : {QString(), QString("0"), QString("000000000123")}) {
        CPLLParamDlg dialog(om::PllTarget::Tx);
        dialog.show();
        test::MessageBoxAnswerer answerer;
        choose(dialog, 0, typed);
        EXPECT_EQ(answerer.texts(), QStringList{"Invalid frequency"}) << typed.toStdString();
        ASSERT_EQ(answerer.buttons().size(), 1);
        EXPECT_EQ(answerer.buttons().front(), QMessageBox::Ok);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
}

TEST(PllParamDlg, NormalSettingReadsNineCharacters) {
    CPLLParamDlg dialog(om::PllTarget::Rx);
    dialog.show();
    test::MessageBoxAnswerer answerer;
    choose(dialog, 0, "4350000019");
    EXPECT_TRUE(answerer.texts().isEmpty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.operation(), 0);
    EXPECT_EQ(dialog.frequency(), 435000001);
}

TEST(PllParamDlg, OtherOperationsCarryFrequencyZero) {
    RecordingMessageBoxes boxes;
    CPLLParamDlg vco(om::PllTarget::Tx);
    vco.setMessageBoxes(boxes);
    vco.show();
    choose(vco, 2, "");
    EXPECT_EQ(vco.result(), QDialog::Accepted);
    EXPECT_EQ(vco.operation(), 2);
    EXPECT_EQ(vco.frequency(), 0);

    CPLLParamDlg power(om::PllTarget::Rx);
    power.show();
    choose(power, 1, "12345");
    EXPECT_EQ(power.result(), QDialog::Accepted);
    EXPECT_EQ(power.operation(), 1);
    EXPECT_EQ(power.frequency(), 0);

    CPLLParamDlg both(om::PllTarget::Rx);
    both.show();
    choose(both, 3, "0");
    EXPECT_EQ(both.result(), QDialog::Accepted);
    EXPECT_EQ(both.operation(), 3);
    EXPECT_EQ(both.frequency(), 0);
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST(PllParamDlg, CancelAndCloseBoxReject) {
    CPLLParamDlg cancelled(om::PllTarget::Rx);
    cancelled.show();
    cancelled.setResult(-1);
    button(cancelled, "Cancel")->click();
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_FALSE(cancelled.isVisible());

    CPLLParamDlg closed(om::PllTarget::Tx);
    closed.show();
    closed.setResult(-1);
    EXPECT_TRUE(closed.close());
    EXPECT_EQ(closed.result(), QDialog::Rejected);
}

TEST(PllParamDlg, EnterAndEscapeNeitherSetNorCancel) {
    CPLLParamDlg dialog(om::PllTarget::Rx);
    dialog.show();
    dialog.setResult(-1);
    dialog.operationList()->setCurrentIndex(2);
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_F1}) {
        QTest::keyClick(dialog.frequencyField(), key);
        QTest::keyClick(button(dialog, "Set"), key);
    }
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), -1);
}

} // namespace
} // namespace tavrel

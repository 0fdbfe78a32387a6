// The air log window offscreen: template geometry, the 3000-entry lists, selection, close box and keys.
#include "ui/air_log_dlg.h"

#include <QGroupBox>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/dialog_units.h"

namespace tavrel {
namespace {

QStringList groupTitles(const QWidget& dialog) {
    QStringList titles;
    for (const auto* frame : dialog.findChildren<QGroupBox*>())
        titles << frame->title();
    return titles;
}

TEST(AirLogDlg, FollowsTheTemplate) {
    CAirLogDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Air Log of the Repeater");
    EXPECT_EQ(dialog.font().family(), "Times New Roman");
    EXPECT_EQ(dialog.font().pointSize(), 10);
    EXPECT_TRUE(groupTitles(dialog).contains("Downlink"));
    EXPECT_TRUE(groupTitles(dialog).contains("Uplink"));
    EXPECT_EQ(dialog.downlinkList()->property("controlId").toInt(), 1014);
    EXPECT_EQ(dialog.uplinkList()->property("controlId").toInt(), 1016);
    EXPECT_FALSE(dialog.downlinkList()->isSortingEnabled());

    // 405 x 196 dialog units of its own font, fixed; the lists at their template places.
    const DialogUnits units(dialog.font());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.size(), units.toPixels(QSize(405, 196)));
    EXPECT_EQ(dialog.downlinkList()->geometry(), units.toPixels(DluRect{6, 8, 392, 87}));
    EXPECT_EQ(dialog.uplinkList()->geometry(), units.toPixels(DluRect{6, 105, 392, 87}));
    EXPECT_GT(dialog.width(), 405); // a dialog unit is more than a pixel at 10 points
}

TEST(AirLogDlg, HiddenWindowTakesEntriesAtOnce) {
    CAirLogDlg dialog;
    dialog.addRecordLine(0, "first");
    dialog.addRecordLine(0, "second");
    dialog.addRecordLine(7, "up");
    QListWidget* downlink = dialog.downlinkList();
    ASSERT_EQ(downlink->count(), 2);
    EXPECT_EQ(downlink->item(0)->text(), "first");
    EXPECT_EQ(downlink->item(1)->text(), "second");
    EXPECT_EQ(downlink->currentRow(), 1);
    ASSERT_EQ(downlink->selectedItems().size(), 1);
    EXPECT_EQ(downlink->selectedItems().front()->text(), "second");
    ASSERT_EQ(dialog.uplinkList()->count(), 1);
    EXPECT_EQ(dialog.uplinkList()->item(0)->text(), "up");

    dialog.clearLists();
    EXPECT_EQ(downlink->count(), 0);
    EXPECT_EQ(dialog.uplinkList()->count(), 0);
}

TEST(AirLogDlg, ShownWindowSelectsAndScrollsToTheNewestOnItsTick) {
    CAirLogDlg dialog;
    dialog.show();
    for (const char* text : {"operator's choice", "up 2", "up 3"})
        dialog.addRecordLine(1, text);
    dialog.showNewEntries();
    ASSERT_EQ(dialog.uplinkList()->currentRow(), 2);
    dialog.uplinkList()->setCurrentRow(0);
    dialog.uplinkList()->scrollToTop();

    QListWidget* downlink = dialog.downlinkList();
    for (int i = 0; i < 200; ++i)
        dialog.addRecordLine(0, QString::number(i));
    dialog.showNewEntries();
    ASSERT_EQ(downlink->count(), 200);
    EXPECT_EQ(downlink->item(199)->text(), "199");
    EXPECT_EQ(downlink->currentRow(), 199);
    EXPECT_TRUE(downlink->item(199)->isSelected());
    EXPECT_TRUE(downlink->viewport()->rect().intersects(downlink->visualItemRect(downlink->item(199))));
    EXPECT_FALSE(downlink->viewport()->rect().intersects(downlink->visualItemRect(downlink->item(0))));
    // The other list received nothing and stays where the operator left it.
    EXPECT_EQ(dialog.uplinkList()->currentRow(), 0);

    // The window's own timer runs the tick.
    dialog.addRecordLine(0, "by the timer");
    EXPECT_TRUE(QTest::qWaitFor([&] { return downlink->count() == 201; }, 5000));
    EXPECT_EQ(downlink->currentRow(), 200);
}

TEST(AirLogDlg, ListHoldingThreeThousandIsEmptiedBeforeTheNext) {
    CAirLogDlg dialog;
    for (int i = 0; i < 3000; ++i)
        dialog.addRecordLine(0, QString::number(i));
    for (int i = 0; i < 5; ++i)
        dialog.addRecordLine(1, QString::number(i));
    ASSERT_EQ(dialog.downlinkList()->count(), 3000);

    dialog.addRecordLine(0, "3001st");
    ASSERT_EQ(dialog.downlinkList()->count(), 1);
    EXPECT_EQ(dialog.downlinkList()->item(0)->text(), "3001st");
    EXPECT_TRUE(dialog.downlinkList()->item(0)->isSelected());
    EXPECT_EQ(dialog.uplinkList()->count(), 5);
}

TEST(AirLogDlg, RuleHoldsForEntriesWaitingForTheTick) {
    CAirLogDlg dialog;
    dialog.show();
    for (int i = 0; i < 2999; ++i)
        dialog.addRecordLine(1, QString::number(i));
    dialog.showNewEntries();
    dialog.addRecordLine(1, "3000th");
    dialog.addRecordLine(1, "3001st");
    dialog.addRecordLine(1, "3002nd");
    dialog.showNewEntries();
    ASSERT_EQ(dialog.uplinkList()->count(), 2);
    EXPECT_EQ(dialog.uplinkList()->item(0)->text(), "3001st");
    EXPECT_EQ(dialog.uplinkList()->item(1)->text(), "3002nd");

    // 3001 lines within one tick leave only the last.
    for (int i = 0; i < 3001; ++i)
        dialog.addRecordLine(0, QString::number(i));
    dialog.showNewEntries();
    ASSERT_EQ(dialog.downlinkList()->count(), 1);
    EXPECT_EQ(dialog.downlinkList()->item(0)->text(), "3000");
}

TEST(AirLogDlg, CloseBoxMinimises) {
    CAirLogDlg dialog;
    dialog.show();
    EXPECT_FALSE(dialog.close());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.isMinimized());
    dialog.addRecordLine(0, "still listed");
    dialog.showNewEntries();
    EXPECT_EQ(dialog.downlinkList()->count(), 1);
}

TEST(AirLogDlg, EnterEscapeAndF1LeaveItOpen) {
    CAirLogDlg dialog;
    dialog.show();
    dialog.addRecordLine(0, "entry");
    dialog.showNewEntries();
    for (const auto key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter, Qt::Key_F1}) {
        QTest::keyClick(dialog.downlinkList(), key);
        QTest::keyClick(&dialog, key);
    }
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isMinimized());
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(dialog.downlinkList()->count(), 1);
}

} // namespace
} // namespace tavrel

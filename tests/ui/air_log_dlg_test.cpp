// The air log window offscreen: size and layout, whole lines, the 3000-entry lists, selection, copy, close
// box and keys.
#include "ui/air_log_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "protocol/air_log_record.h"
#include "ui/dialog_units.h"

namespace tavrel {
namespace {

QStringList groupTitles(const QWidget& dialog) {
    QStringList titles;
    for (const auto* frame : dialog.findChildren<QGroupBox*>())
        titles << frame->title();
    return titles;
}

TEST(AirLogDlg, StartsAtTheTemplateSizeAndTheListsShareTheWindowAsItIsResized) {
    CAirLogDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Air Log of the Repeater");
    EXPECT_EQ(dialog.font().family(), "Times New Roman");
    EXPECT_EQ(dialog.font().pointSize(), 10);
    EXPECT_TRUE(groupTitles(dialog).contains("Downlink"));
    EXPECT_TRUE(groupTitles(dialog).contains("Uplink"));
    EXPECT_EQ(dialog.downlinkList()->property("controlId").toInt(), 1014);
    EXPECT_EQ(dialog.uplinkList()->property("controlId").toInt(), 1016);
    EXPECT_FALSE(dialog.downlinkList()->isSortingEnabled());
    for (const QListWidget* list : {dialog.downlinkList(), dialog.uplinkList()}) {
        // A fixed-width font: hex columns line up.
        const QFontMetrics metrics(list->font());
        EXPECT_EQ(metrics.horizontalAdvance("iiii"), metrics.horizontalAdvance("0F0F"));
    }

    // 405 x 196 dialog units of its own font to start with, then whatever the operator makes it.
    const DialogUnits units(dialog.font());
    EXPECT_EQ(dialog.size(), units.toPixels(QSize(405, 196)));
    EXPECT_LT(dialog.minimumWidth(), dialog.maximumWidth());
    EXPECT_LT(dialog.minimumHeight(), dialog.maximumHeight());
    dialog.show();
    for (const QSize size : {QSize(500, 300), QSize(1100, 900)}) {
        dialog.resize(size);
        QCoreApplication::processEvents();
        const QRect down = dialog.downlinkList()->geometry();
        const QRect up = dialog.uplinkList()->geometry();
        SCOPED_TRACE(size.width());
        EXPECT_EQ(down.width(), up.width());
        EXPECT_NEAR(down.height(), up.height(), 1);
        EXPECT_GT(down.width(), size.width() * 9 / 10);
        EXPECT_GT(down.height() + up.height(), size.height() * 6 / 10);
        EXPECT_LT(dialog.downlinkList()->mapTo(&dialog, down.topLeft() - down.topLeft()).y(),
                  dialog.uplinkList()->mapTo(&dialog, QPoint()).y());
    }
}

TEST(AirLogDlg, AFullRecordsLineIsWholeAndCtrlCCopiesTheSelectedLines) {
    std::vector<std::uint8_t> full(AirLogRecord::kFullSize);
    for (std::size_t i = 0; i < full.size(); ++i)
        full[i] = static_cast<std::uint8_t>(i == 0 ? 0 : 0xA0 + i);
    const QString line = QString::fromStdString(describeAirLogRecord(full).displayLine);
    ASSERT_TRUE(line.endsWith(" CB")) << line.toStdString(); // all 38 payload bytes

    CAirLogDlg dialog;
    dialog.show();
    dialog.resize(400, 300); // narrower than the line
    dialog.addRecordLine(0, "short");
    dialog.showNewEntries();
    QCoreApplication::processEvents(); // laid out for short lines
    dialog.addRecordLine(0, line);     // wider than those before: every entry widens
    dialog.addRecordLine(0, "short again");
    dialog.showNewEntries();
    QCoreApplication::processEvents();
    QListWidget* list = dialog.downlinkList();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), line);
    EXPECT_GE(list->visualItemRect(list->item(1)).width(), list->fontMetrics().horizontalAdvance(line));
    EXPECT_GT(list->horizontalScrollBar()->maximum(), 0) << "scrolled, not cut";
    EXPECT_EQ(list->textElideMode(), Qt::ElideNone);

    list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::ClearAndSelect);
    list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::Select);
    QApplication::clipboard()->clear();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "short\nshort again\n")
        << "in list order, whatever was picked first";
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

// The alarm history window fed by alarm reports from a repeater stand-in: rows, sorting, CSV export.
#include <QApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>

#include "tests/session/utc_zone.h"
#include "tests/ui/om_peer.h"
#include "tests/ui/window_fixture.h"
#include "ui/alarm_history_dlg.h"
#include "ui/monitor_ids.h"

namespace tavrel::test {
namespace {

using namespace std::chrono_literals;
using Rows = std::vector<std::vector<std::string>>;

class AlarmHistoryWindow : public MonitorWindowTest {
protected:
    // A window with the real link, connected to a stand-in on 127.0.21.<n>.
    void connectTo(int n) {
        peer = std::make_unique<OmPeer>("127.0.21." + std::to_string(n));
        ASSERT_TRUE(peer->listening());
        openAt(loopbackSettings("127.0.21.", n, 44320, 45320), LinkStarter{});
        ASSERT_TRUE(waitUntil([&] { return peer->accept(std::chrono::milliseconds(0)); }));
        ASSERT_TRUE(waitUntil([&] { return window->session().connected(); }));
    }

    // The stand-in answers an alarm query, `after` later than the last one; the window takes it and has
    // made `rows` history rows in all. (A chunk holds one report, so each waits for the one before.)
    void report(int bits, std::chrono::seconds after, std::uint64_t rows) {
        wallNow += after;
        const std::string text = "ALARMSTATE:" + std::to_string(bits);
        ASSERT_TRUE(peer->send(std::string_view(text.c_str(), text.size() + 1)));
        ASSERT_TRUE(waitUntil([&] { return window->session().alarmHistory().added() >= rows; }));
        EXPECT_EQ(window->session().alarmHistory().added(), rows);
    }

    void trigger(int id) {
        for (QAction* action : window->menuBar()->findChildren<QAction*>())
            if (action->data().isValid() && action->data().toInt() == id)
                return action->trigger();
        FAIL() << "no menu item " << id;
    }

    UtcZone utc;
    std::unique_ptr<OmPeer> peer;
};

TEST_F(AlarmHistoryWindow, ReportsMakeRowsNewestFirstThatSortAndExportAsCsv) {
    ASSERT_NO_FATAL_FAILURE(connectTo(1));
    report(0x04, 0s, 1);  // Rx PLL found active
    report(0x0C, 10s, 2); // Tx PLL raised
    report(0x04, 62s, 3); // Tx PLL cleared
    EXPECT_EQ(occurrences(viewText(*window), ">> ALARM "), 3u);
    EXPECT_NE(runLog().find(">> ALARM Tx PLL cleared after 00:01:02\n"), std::string::npos);

    deliver(window->session(), NotifyOmDisconnected); // the window works while disconnected too
    trigger(command::kAlarmHistory);
    CAlarmHistoryDlg* history = window->alarmHistoryDlg();
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->isVisible());
    EXPECT_EQ(history->windowTitle(), "Alarm History");
    const Rows newestFirst{
        {"Time", "Alarm", "Event", "Lasted"},
        {"2016-08-03 23:01:12", "Tx PLL", "cleared", "00:01:02"},
        {"2016-08-03 23:00:10", "Tx PLL", "raised", "00:01:02"},
        {"2016-08-03 23:00:00", "Rx PLL", "found active", "active"},
    };
    EXPECT_EQ(history->shownRows(), newestFirst);

    // A click on the "Alarm" header sorts by lamp order, top to bottom.
    QHeaderView* header = history->table()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    const Rows rows = history->shownRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][1], header->sortIndicatorOrder() == Qt::AscendingOrder ? "Rx PLL" : "Tx PLL");
    EXPECT_EQ(rows[3][1], header->sortIndicatorOrder() == Qt::AscendingOrder ? "Tx PLL" : "Rx PLL");
    history->table()->sortByColumn(0, Qt::DescendingOrder);

    // A new transition reaches the open window.
    deliver(window->session(), NotifyOmConnected);
    report(0x00, 8s, 4); // the first report after the reconnection finds Rx PLL gone
    ASSERT_EQ(history->shownRows().size(), 5u);
    EXPECT_EQ(history->shownRows()[1],
              (std::vector<std::string>{"2016-08-03 23:01:20", "Rx PLL", "cleared", "00:01:20"}));

    const std::string csvPath = exeDir.path() + "/history, \"all\".csv";
    QString suggested;
    history->setSaveFileChooser([&](QWidget*, const QString& path) {
        suggested = path;
        return QString::fromStdString(csvPath);
    });
    QTest::mouseClick(history->exportButton(), Qt::LeftButton);
    EXPECT_EQ(readFile(csvPath), "Time,Alarm,Event,Lasted\r\n"
                                 "2016-08-03 23:01:20,Rx PLL,cleared,00:01:20\r\n"
                                 "2016-08-03 23:01:12,Tx PLL,cleared,00:01:02\r\n"
                                 "2016-08-03 23:00:10,Tx PLL,raised,00:01:02\r\n"
                                 "2016-08-03 23:00:00,Rx PLL,found active,00:01:20\r\n");
    EXPECT_EQ(suggested.toStdString(), exeDir.path() + "/log/alarm-history[127.0.21.1]_20160803235959.csv");
    EXPECT_TRUE(boxes.texts().isEmpty());

    history->setSaveFileChooser([&](QWidget*, const QString&) {
        return QString::fromStdString(exeDir.path() + "/no/such/dir/x.csv");
    });
    history->exportCsv();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.last().startsWith("Could not write the file ")) << boxes.last().toStdString();
}

} // namespace
} // namespace tavrel::test

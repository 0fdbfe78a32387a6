// The air log window: decoded air-interface records in a downlink list above and an uplink list below.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

#include "ui/dialog_key_filter.h"

class QListWidget;
class QTimer;

namespace tavrel {

class WholeLineDelegate;

class CAirLogDlg : public KeyFilteredDialog {
    Q_OBJECT
public:
    static constexpr int kMaxListEntries = 3000;
    static constexpr int kDownlinkListId = 1014;
    static constexpr int kUplinkListId = 1016;
    // A shown list is laid out and painted again for every change, which costs far more than a line, so
    // while the window is shown (or minimised) new lines go into the lists at most this often.
    static constexpr std::chrono::milliseconds kShowNewEntriesPeriod{50};

    explicit CAirLogDlg(QWidget* parent = nullptr);

    // A list holding more than 2999 entries is emptied first; the new entry goes at the end and is
    // selected, which scrolls it into view. While the window is hidden that happens at once; while it is
    // shown, at the next showNewEntries() tick, for all lines of that tick together.
    void addRecordLine(int direction, const QString& text);
    void clearLists();

    // The tick: puts the lines added since the previous tick into their lists, selects the last one of
    // each list that received any and scrolls it into view; a list that received none keeps the
    // operator's selection and place.
    void showNewEntries();

    // Shows the window (not minimised); the first time beside the owner, later where the operator left it.
    void showBeside(const QWidget& owner);

    QListWidget* downlinkList() const { return m_downlink.view; }
    QListWidget* uplinkList() const { return m_uplink.view; }

protected:
    // The close box minimises the window; it is neither hidden nor destroyed.
    void closeEvent(QCloseEvent* event) override;

private:
    // One list and the lines that wait for the next tick to go into it.
    struct RecordList {
        QListWidget* view = nullptr;
        WholeLineDelegate* lines = nullptr; // sizes every entry to the widest line so far
        QStringList pending;
        bool emptyFirst = false; // the 3000-entry rule struck since the last tick
    };

    static void putPendingLines(RecordList& list);

    RecordList m_downlink;
    RecordList m_uplink;
    QTimer* m_tick = nullptr;
    bool m_placed = false;
};

} // namespace tavrel

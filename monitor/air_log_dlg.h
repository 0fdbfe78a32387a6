// The air log window: decoded air-interface records in a downlink list above and an uplink list below.
#pragma once

#include <QString>

#include "app/dialog_key_filter.h"

class QListWidget;

namespace tavrel {

class CAirLogDlg : public KeyFilteredDialog {
    Q_OBJECT
public:
    static constexpr int kMaxListEntries = 3000;

    explicit CAirLogDlg(QWidget* parent = nullptr);

    // A list holding more than 2999 entries is emptied first; the new entry goes at the end, selected.
    void addRecordLine(int direction, const QString& text);
    void clearLists();

    QListWidget* downlinkList() const { return m_downlink; }
    QListWidget* uplinkList() const { return m_uplink; }

protected:
    // The close box minimises the window; it is neither hidden nor destroyed.
    void closeEvent(QCloseEvent* event) override;

private:
    QListWidget* m_downlink = nullptr;
    QListWidget* m_uplink = nullptr;
};

} // namespace tavrel

// The "Alarm History" window: this run's alarm transitions, newest first, sortable, exported as CSV.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "session/alarm_history.h"
#include "ui/dialog_key_filter.h"

class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace tavrel {

class AlarmHistoryModel;
class MessageBoxes;

class CAlarmHistoryDlg : public KeyFilteredDialog {
    Q_OBJECT
public:
    static constexpr char kCaption[] = "Alarm History";
    static constexpr char kExportText[] = "Export CSV...";
    static constexpr char kWriteFailedMessage[] = "Could not write the file %1";
    // Asks where to save, starting from the suggested path; an empty answer cancels.
    using SaveFileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;

    // Null boxes: the real ones. The history must outlive the window.
    CAlarmHistoryDlg(const AlarmHistory& history, std::string suggestedCsvPath, MessageBoxes* messageBoxes,
                     QWidget* parent = nullptr);

    // The history has new rows.
    void refresh();
    // Shows the window; the first time beside the owner, later where the operator left it.
    void showBeside(const QWidget& owner);

    // "Export CSV...": asks for a file, then writes the table as it is sorted; a failure is told.
    void exportCsv();
    // The header and the rows in the table's present order, as texts.
    std::vector<std::vector<std::string>> shownRows() const;

    // Replaces the file dialog.
    void setSaveFileChooser(SaveFileChooser chooser) { m_chooseFile = std::move(chooser); }

    QTableView* table() const { return m_table; }
    QPushButton* exportButton() const { return m_export; }

private:
    AlarmHistoryModel* m_model = nullptr;
    QSortFilterProxyModel* m_sorted = nullptr;
    QTableView* m_table = nullptr;
    QPushButton* m_export = nullptr;
    QString m_suggestedCsvPath;
    MessageBoxes* m_messageBoxes = nullptr;
    SaveFileChooser m_chooseFile;
    bool m_placed = false;
};

} // namespace tavrel

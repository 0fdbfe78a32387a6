// The alarm history window: a sorted table over the session's history, and its CSV export.
#include "ui/alarm_history_dlg.h"

#include <fstream>

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/alarm_history_model.h"
#include "ui/csv_text.h"
#include "ui/message_boxes.h"
#include "ui/owned_placement.h"

namespace tavrel {

CAlarmHistoryDlg::CAlarmHistoryDlg(const AlarmHistory& history, std::string suggestedCsvPath,
                                   MessageBoxes* messageBoxes, QWidget* parent)
    : KeyFilteredDialog(parent), m_model(new AlarmHistoryModel(history, this)),
      m_sorted(new QSortFilterProxyModel(this)), m_table(new QTableView(this)),
      m_export(new QPushButton(QString::fromLatin1(kExportText), this)),
      m_suggestedCsvPath(QString::fromStdString(suggestedCsvPath)),
      m_messageBoxes(messageBoxes ? messageBoxes : &systemMessageBoxes()),
      m_chooseFile([](QWidget* parent, const QString& suggested) {
          return QFileDialog::getSaveFileName(parent, QStringLiteral("Export CSV"), suggested,
                                              QStringLiteral("CSV files (*.csv)"));
      }) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);

    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(AlarmHistoryModel::kSortRole);
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(static_cast<int>(HistoryColumn::Time), Qt::DescendingOrder); // newest first
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->resizeColumnsToContents();

    m_export->setAutoDefault(false);
    connect(m_export, &QPushButton::clicked, this, &CAlarmHistoryDlg::exportCsv);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_export);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(480, 320);
    setMinimumSize(300, 160);
}

void CAlarmHistoryDlg::refresh() {
    m_model->refresh();
    m_table->resizeColumnToContents(static_cast<int>(HistoryColumn::Time));
}

void CAlarmHistoryDlg::showBeside(const QWidget& owner) {
    if (!m_placed) {
        m_table->resizeColumnsToContents();
        placeBesideOwner(*this, owner);
        m_placed = true;
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

std::vector<std::vector<std::string>> CAlarmHistoryDlg::shownRows() const {
    std::vector<std::vector<std::string>> rows;
    rows.emplace_back(kHistoryColumnTitles.begin(), kHistoryColumnTitles.end());
    for (int row = 0; row < m_sorted->rowCount(); ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < kHistoryColumnCount; ++column)
            cells.push_back(m_sorted->index(row, column).data().toString().toStdString());
        rows.push_back(std::move(cells));
    }
    return rows;
}

void CAlarmHistoryDlg::exportCsv() {
    const QString path = m_chooseFile(this, m_suggestedCsvPath);
    if (path.isEmpty())
        return;
    const std::string text = csvText(shownRows());
    std::ofstream file(path.toStdString(), std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file)
        m_messageBoxes->inform(this, QString::fromLatin1(kWriteFailedMessage).arg(path));
}

} // namespace tavrel

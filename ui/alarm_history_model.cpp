// Cells of the alarm history table from the session's rows.
#include "ui/alarm_history_model.h"

namespace tavrel {

AlarmHistoryModel::AlarmHistoryModel(const AlarmHistory& history, QObject* parent)
    : QAbstractTableModel(parent), m_history(history) {}

void AlarmHistoryModel::refresh() {
    // Transitions are rare, and an earlier row's "Lasted" changes with a clearing: the whole table again.
    beginResetModel();
    endResetModel();
}

int AlarmHistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_history.rows().size());
}

int AlarmHistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kHistoryColumnCount;
}

QVariant AlarmHistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const AlarmHistoryRow& row = m_history.rows()[static_cast<std::size_t>(index.row())];
    const auto column = static_cast<HistoryColumn>(index.column());
    if (role == Qt::DisplayRole)
        return QString::fromStdString(historyCellText(row, column));
    if (role == kSortRole)
        return QVariant::fromValue<qlonglong>(historySortKey(row, column));
    return {};
}

QVariant AlarmHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kHistoryColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    const std::string_view title = kHistoryColumnTitles[static_cast<std::size_t>(section)];
    return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
}

} // namespace tavrel

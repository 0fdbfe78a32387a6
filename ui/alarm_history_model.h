// The session's alarm history as a Qt table model: four columns of texts, sorting by plain keys.
#pragma once

#include <QAbstractTableModel>

#include "session/alarm_history.h"

namespace tavrel {

class AlarmHistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The role a sorting proxy sorts by: the column's key as a number.
    static constexpr int kSortRole = Qt::UserRole;

    explicit AlarmHistoryModel(const AlarmHistory& history, QObject* parent = nullptr);

    // The history has changed: rows added at the end, maybe old ones dropped at the front.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const AlarmHistory& m_history;
};

} // namespace tavrel

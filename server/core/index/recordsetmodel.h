#pragma once

#include "db/recordset.h"

#include <QAbstractTableModel>

namespace vorsa {

// A read-only table model over the rows of a result set, so that a grid shows
// a result set without a statement of its own on the connection. The model
// does not follow the result set by itself: call reset() after a requery or
// after rows were added.
class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordsetModel(QObject* parent = nullptr);

    // The result set shown (nullptr: none); it must outlive the binding.
    void setRecordset(const db::Recordset* recordset);
    const db::Recordset* recordset() const { return m_recordset; }
    void reset();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const db::Recordset* m_recordset = nullptr;
    int m_rows = 0;
    int m_columns = 0;
};

} // namespace vorsa

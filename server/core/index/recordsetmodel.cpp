#include "recordsetmodel.h"

#include "reporter.h"

namespace vorsa {

RecordsetModel::RecordsetModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordsetModel::setRecordset(const db::Recordset* recordset)
{
    beginResetModel();
    m_recordset = recordset;
    m_rows = 0;
    m_columns = 0;
    if (m_recordset && m_recordset->isOpen()) {
        ignoringErrors([&] {
            m_rows = m_recordset->recordCount();
            m_columns = m_recordset->fieldCount();
        });
    }
    endResetModel();
}

void RecordsetModel::reset()
{
    setRecordset(m_recordset);
}

int RecordsetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int RecordsetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const
{
    if (!m_recordset || !index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    QVariant value;
    ignoringErrors([&] { value = m_recordset->valueAt(index.row(), index.column()); });
    return value;
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (!m_recordset || section < 0 || section >= m_columns)
        return {};
    QString name;
    ignoringErrors([&] { name = m_recordset->fieldName(section); });
    return name;
}

} // namespace vorsa

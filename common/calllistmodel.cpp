#include "calllistmodel.h"

#include "call.h"
#include "fielddefinitions.h"

#include <algorithm>

namespace vorsa {

CallListModel::CallListModel(QObject* parent) : QAbstractTableModel(parent) {}

void CallListModel::setColumns(const QList<Column>& columns)
{
    beginResetModel();
    m_columns = columns;
    m_rows.clear();
    endResetModel();
}

int CallListModel::columnIndex(const QString& key) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].key.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void CallListModel::setMaxRows(int rows)
{
    m_maxRows = std::max(rows, 0);
    trim();
}

void CallListModel::trim()
{
    if (m_maxRows == 0 || m_rows.size() <= size_t(m_maxRows))
        return;
    const int excess = int(m_rows.size()) - m_maxRows;
    if (m_bulk) {
        m_rows.erase(m_rows.begin(), m_rows.begin() + excess);
        return;
    }
    // The oldest rows are the last ones the views show.
    beginRemoveRows({}, m_maxRows, m_maxRows + excess - 1);
    m_rows.erase(m_rows.begin(), m_rows.begin() + excess);
    endRemoveRows();
}

void CallListModel::addRow(int icon, const QStringList& cells)
{
    addRow(Row{icon, cells});
}

void CallListModel::addRow(Row row)
{
    if (m_bulk) {
        m_rows.push_back(std::move(row));
        trim();
        return;
    }
    // Room first, so that the list never holds more than its limit.
    if (m_maxRows > 0 && m_rows.size() >= size_t(m_maxRows)) {
        const int keep = m_maxRows - 1;
        beginRemoveRows({}, keep, int(m_rows.size()) - 1);
        m_rows.erase(m_rows.begin(), m_rows.end() - keep);
        endRemoveRows();
    }
    beginInsertRows({}, 0, 0);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

void CallListModel::addOlderRows(std::vector<Row> rows)
{
    size_t take = rows.size();
    if (m_maxRows > 0)
        take =
            std::min(take, m_rows.size() >= size_t(m_maxRows) ? size_t(0)
                                                              : size_t(m_maxRows) - m_rows.size());
    if (take == 0)
        return;
    const auto from = rows.end() - qsizetype(take);
    if (!m_bulk)
        beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + take) - 1);
    m_rows.insert(m_rows.begin(), std::make_move_iterator(from),
                  std::make_move_iterator(rows.end()));
    if (!m_bulk)
        endInsertRows();
}

void CallListModel::clear()
{
    if (m_bulk) {
        m_rows.clear();
        return;
    }
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void CallListModel::beginBulk()
{
    if (m_bulk)
        return;
    beginResetModel();
    m_bulk = true;
}

void CallListModel::endBulk()
{
    if (!m_bulk)
        return;
    m_bulk = false;
    endResetModel();
}

CallListModel::Row CallListModel::rowOf(const FieldDefinitions& fields, const Call& call,
                                        int iconCount) const
{
    Row row;
    row.icon = std::clamp(call.icon, 0, std::max(iconCount, 0));
    row.cells.reserve(m_columns.size());
    for (const auto& column : m_columns) {
        const int i = fields.indexOf(column.key);
        row.cells.append(i >= 0 && i < call.values.size()
                             ? fields.at(i).FormatierteAusgabe(call.values.at(i))
                             : QString());
    }
    return row;
}

int CallListModel::rowIcon(int row) const
{
    return rowAt(row).icon;
}

QStringList CallListModel::rowCells(int row) const
{
    return rowAt(row).cells;
}

QString CallListModel::cell(int row, int column) const
{
    const auto& cells = rowAt(row).cells;
    return column >= 0 && column < cells.size() ? cells[column] : QString();
}

void CallListModel::setIconProvider(std::function<QVariant(int)> provider)
{
    m_iconProvider = std::move(provider);
}

int CallListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || m_bulk ? 0 : int(m_rows.size());
}

int CallListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant CallListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const Row& row = rowAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return index.column() < row.cells.size() ? row.cells[index.column()] : QString();
    case Qt::DecorationRole:
        if (index.column() == 0 && row.icon > 0 && m_iconProvider)
            return m_iconProvider(row.icon);
        return {};
    case IconRole:
        return row.icon;
    default:
        return {};
    }
}

QVariant CallListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns[section].header;
    return {};
}

void ListView1DatenAdd(CallListModel& model, const FieldDefinitions& fields, const Call& call,
                       int iconCount)
{
    model.addRow(model.rowOf(fields, call, iconCount));
}

} // namespace vorsa

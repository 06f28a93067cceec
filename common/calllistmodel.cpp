#include "calllistmodel.h"

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

void CallListModel::addRow(int icon, const QStringList& cells)
{
    if (m_bulk) {
        m_rows.push_back({icon, cells});
        return;
    }
    beginInsertRows({}, 0, 0);
    m_rows.push_back({icon, cells});
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

void ListView1DatenAdd(CallListModel& model, const FieldDefinitions& fields, int iconNumber,
                       int iconCount)
{
    const int icon = std::clamp(iconNumber, 0, std::max(iconCount, 0));
    QStringList cells;
    cells.reserve(model.columnCount());
    for (const auto& column : model.columns()) {
        const clsDaten* d = fields.find(column.key);
        cells.append(d ? d->FormatierteAusgabe() : QString());
    }
    model.addRow(icon, cells);
}

} // namespace vorsa

#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace vorsa {

class FieldDefinitions;
struct Call;

// The call list: newest call on top, one column per visible field, an icon
// number per row. Adding on top is O(1) (rows are stored oldest first). With
// a row limit the list keeps the newest rows only.
class CallListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int IconRole = Qt::UserRole + 1;

    struct Column {
        QString key;
        QString header;
        int width = 100; // twips
    };
    struct Row {
        int icon = 0;
        QStringList cells;
    };

    explicit CallListModel(QObject* parent = nullptr);

    void setColumns(const QList<Column>& columns);
    const QList<Column>& columns() const { return m_columns; }
    int columnIndex(const QString& key) const; // -1 when there is none (ignoring case)

    // The most rows the list keeps (0: no limit); older rows are dropped.
    void setMaxRows(int rows);
    int maxRows() const { return m_maxRows; }

    // Inserts a row at the top.
    void addRow(int icon, const QStringList& cells);
    void addRow(Row row);
    // Puts rows (oldest first) below those the list holds, as far as the row
    // limit leaves room for them (the newest of them first).
    void addOlderRows(std::vector<Row> rows);
    void clear();
    // Between beginBulk and endBulk rows are collected without signalling each
    // one; the views are reset once at the end (a long replay of the journal).
    void beginBulk();
    void endBulk();

    // The row of a call: the icon number held between 0 and the icon count,
    // one cell per column under its own header (a hidden field gets none).
    Row rowOf(const FieldDefinitions& fields, const Call& call, int iconCount) const;

    int rowIcon(int row) const;
    QStringList rowCells(int row) const;
    QString cell(int row, int column) const;

    // The window turns icon numbers into pictures (DecorationRole of column 0).
    void setIconProvider(std::function<QVariant(int)> provider);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const Row& rowAt(int row) const { return m_rows[m_rows.size() - 1 - size_t(row)]; }
    // Drops the oldest rows beyond the limit.
    void trim();

    QList<Column> m_columns;
    std::deque<Row> m_rows;
    std::function<QVariant(int)> m_iconProvider;
    bool m_bulk = false;
    int m_maxRows = 0;
};

// ListView1DatenAdd: one row on top from the values of a call.
void ListView1DatenAdd(CallListModel& model, const FieldDefinitions& fields, const Call& call,
                       int iconCount);

} // namespace vorsa

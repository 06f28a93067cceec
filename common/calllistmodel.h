#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <functional>
#include <vector>

namespace vorsa {

class FieldDefinitions;

// The call list: newest call on top, one column per visible field, an icon
// number per row. Adding on top is O(1) (rows are stored oldest first).
class CallListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int IconRole = Qt::UserRole + 1;

    struct Column {
        QString key;
        QString header;
        int width = 100; // twips
    };

    explicit CallListModel(QObject* parent = nullptr);

    void setColumns(const QList<Column>& columns);
    const QList<Column>& columns() const { return m_columns; }
    int columnIndex(const QString& key) const; // -1 when there is none (ignoring case)

    // Inserts a row at the top.
    void addRow(int icon, const QStringList& cells);
    void clear();
    // Between beginBulk and endBulk rows are collected without signalling each
    // one; the views are reset once at the end (reloading a large journal).
    void beginBulk();
    void endBulk();

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
    struct Row {
        int icon;
        QStringList cells;
    };
    const Row& rowAt(int row) const { return m_rows[m_rows.size() - 1 - size_t(row)]; }

    QList<Column> m_columns;
    std::vector<Row> m_rows;
    std::function<QVariant(int)> m_iconProvider;
    bool m_bulk = false;
};

// ListView1DatenAdd: one row on top from the current field values; the icon
// number is held between 0 and the icon count. Each visible field gets its cell
// under its own header; a hidden field gets none.
void ListView1DatenAdd(CallListModel& model, const FieldDefinitions& fields, int iconNumber,
                       int iconCount);

} // namespace vorsa

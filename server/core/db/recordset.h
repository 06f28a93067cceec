#pragma once

#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>

#include "connection.h"

namespace vorsa::db {

// A client-side static result set: all rows are read when it opens, so the
// record count is exact at once and the rows stay readable after the
// connection is closed (disconnect). New rows are inserted at once (one INSERT
// each, prepared once per column set).
//
// Closing the connection closes the result sets still attached to it; call
// disconnect() first to keep the rows. Reading a closed result set raises
// adErrObjectClosed, reading at EOF adErrNoCurrentRecord, a missing field
// 3265. Column names come as the engine gives them (PostgreSQL folds unquoted
// names to lower case), so look them up by name, which ignores case. Values
// keep the driver's types (SQLite: qlonglong, double, QString; PostgreSQL
// booleans as bool); a missing value is a null QVariant, distinct from "".
class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void open(const QString& statement, Connection& connection,
              CursorType cursor = CursorType::Static, LockType lock = LockType::ReadOnly);
    bool isOpen() const { return m_open; }
    int state() const { return m_open ? adStateOpen : adStateClosed; }
    void close();
    // Detaches from the connection; the rows stay readable.
    void disconnect();
    // Reads the rows again as the table holds them now (needs the connection).
    void requery();

    int recordCount() const;
    bool eof() const;
    bool bof() const;
    void moveFirst();
    void moveNext();
    // 1-based position of the current row (recordCount() + 1 at EOF).
    int absolutePosition() const { return m_pos; }

    // Fields of the current row.
    int fieldCount() const;
    QString fieldName(int index) const;
    QVariant value(int index) const;           // null stays null
    QVariant value(const QString& name) const; // ignoring case; missing: 3265
    bool hasField(const QString& name) const;
    // Position of a field by name ignoring case, -1 when missing.
    int fieldIndex(const QString& name) const;
    // Any row without moving (a grid showing the rows); null when out of range.
    QVariant valueAt(int row, int column) const;

    // Adding a row: addNew, setValue for each column, update (one INSERT into
    // the table named after FROM; needs LockType::Optimistic and the
    // connection). setValue of a column the table lacks raises 3265 and leaves
    // the other values set. update saves the row at once and makes it the
    // current row; a row the database refuses raises and is dropped.
    // cancelUpdate drops the unsaved row. Editing existing rows is not offered.
    void addNew();
    void setValue(const QString& name, const QVariant& value);
    void update();
    void cancelUpdate();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    bool m_open = false;
    int m_pos = 0;
};

// A value as a table column of the given type takes it: yes/no values are
// integers 0/1 on SQLite and booleans on PostgreSQL, callers pass either; a
// null value becomes a null of the column's type.
QVariant valueForColumn(const QVariant& value, QMetaType columnType);

// Whether values of the type are whole numbers (of any width and sign).
bool isIntegerType(QMetaType type);

} // namespace vorsa::db

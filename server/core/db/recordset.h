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
    int absolutePosition() const { return m_pos; }

    // Fields of the current row.
    int fieldCount() const;
    QString fieldName(int index) const;
    QVariant value(int index) const;             // null stays null
    QVariant value(const QString& name) const;   // ignoring case; missing: 3265
    bool hasField(const QString& name) const;

    // Adding a row: addNew, setValue for each column, update (one INSERT into
    // the table named after FROM). cancelUpdate drops the unsaved row.
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

} // namespace vorsa::db

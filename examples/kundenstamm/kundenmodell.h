#pragma once

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlIndex>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QString>

namespace kundenstamm {

// ADO's number for a statement that a constraint of the database refused
// (DB_E_INTEGRITYVIOLATION).
constexpr int adErrIntegrityViolation = -2147217873;

// The customers of TKunden as a table model that keeps its changes until they
// are written. Rows are changed and deleted by the table's own primary key;
// where the table declares none, by SQLite's row id together with the
// KundenNrID read, or (other databases) by KundenNrID alone. The row id is read
// with the rows as a column after the table's own, which the model does not
// show. A row that its key does not tell apart (no primary key, no row id, no
// customer number) is neither changed nor deleted. Every select fetches all
// rows, so that row numbers count the whole list. A failing statement leaves
// its text and the database's answer in lastStatement() and lastError(); a
// change or deletion that does not touch exactly one row fails too, instead of
// changing nothing, or more than the customer, in silence.
class KundenModell : public QSqlTableModel {
    Q_OBJECT

public:
    KundenModell(QObject* parent, const QSqlDatabase& db);

    // Opens the table as the database spells it (PostgreSQL reports names in
    // lower case). Raises 3265 when there is no TKunden.
    void tabelleOeffnen();

    // The column of a field name in any letter case, -1 when there is none.
    int spalte(const QString& name) const;
    // The customer number (KundenNrID) of a row, as shown (a changed row
    // gives its changed value); Null for none.
    QVariant kundenNr(int row) const;
    // The row of a customer number, -1 when no row has it.
    int zeileVon(const QVariant& kundenNr) const;
    // Whether the row can be changed and deleted: its key tells it apart.
    bool zeileEindeutig(int row) const;

    // Writes every change of the model (new rows, changed rows) to the table,
    // keeping them in the model: they stay changes until the next select(),
    // so that after a rollback the same changes can be written again.
    bool aenderungenSchreiben();
    // Deletes the customer of the row from the table (the model keeps the row
    // until the next select()).
    bool zeileLoeschen(int row);

    // The condition of select() (without "WHERE"); unlike setFilter, setting
    // it does not read the rows again.
    void setBedingung(const QString& condition) { m_bedingung = condition; }

    // A value for a column from the text of a field: Null for an empty text,
    // a date for a date column (text yyyy/mm/dd), a number for a number
    // column; the text itself otherwise.
    QVariant wertAusText(int column, const QString& text) const;
    // The text of a value as the fields show and take it: "" for Null,
    // yyyy/mm/dd for a date.
    static QString textAusWert(const QVariant& value);

    // The statement that failed last, with its values (never a password).
    QString lastStatement() const { return m_statement; }

    bool select() override;
    // Sorts the rows read (before the first select it only sets the order).
    void sort(int column, Qt::SortOrder order) override;
    // The table's own columns (without the row id read with them).
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;

protected:
    bool updateRowInTable(int row, const QSqlRecord& values) override;
    bool insertRowIntoTable(const QSqlRecord& values) override;
    bool deleteRowFromTable(int row) override;
    QString selectStatement() const override;

private:
    // Runs an UPDATE or DELETE (text without WHERE, with its values to bind)
    // on the row of the key; true when it touched exactly that one row.
    bool aufZeile(const QString& prepared, const QString& shown, const QVariantList& values,
                  const QSqlRecord& key);
    void failed(const QString& statement, const QSqlError& error);

    QString m_statement;
    QString m_bedingung;
    QSqlRecord m_spalten;   // the columns of the table
    QString m_zeilenId;     // SQLite's name of the row id, when rows are told apart by it
    QSqlIndex m_schluessel; // what tells the rows apart
};

} // namespace kundenstamm

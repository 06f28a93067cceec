#pragma once

#include "db/connection.h"

#include <QDate>
#include <QSqlError>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

namespace kundenstamm {

class KundenModell;

// The data side of the customer program, without widgets: the connection to
// the customer-management database named by a data-link file, the customers
// of one tenant as a table model, the search over them, and the changes
// written in one transaction each (a change the database refuses is rolled
// back and stays in the model, so that nothing is half-saved and nothing
// typed is lost). Every failure is a VbError; database errors carry the
// statement that failed.
class KundenStamm {
public:
    KundenStamm();
    ~KundenStamm();
    KundenStamm(const KundenStamm&) = delete;
    KundenStamm& operator=(const KundenStamm&) = delete;

    // Opens the database of the data-link file and the table TKunden; does
    // not read customers yet. Opening again closes the old connection first.
    void oeffnen(const QString& udlPath);
    void schliessen();
    bool istOffen() const;
    // The Qt connection name (for the tenant list of the toolbar).
    QString verbindungsName() const;
    // How long a statement waits for a database that another program holds
    // locked before it fails.
    void setWartezeit(int milliseconds);

    KundenModell* modell() const { return m_modell.get(); }

    // Which customers are read: those of one tenant (none: all) whose name,
    // search key or number matches the search text (empty: all; letters of
    // any case, umlauts too). Takes effect with laden().
    void setMandant(std::optional<qlonglong> mandNr) { m_mandant = mandNr; }
    std::optional<qlonglong> mandant() const { return m_mandant; }
    void setSuche(const QString& text) { m_suche = text.trimmed(); }
    QString suche() const { return m_suche; }
    // Reads the customers again (changes not yet saved are dropped).
    void laden();
    // The WHERE condition of laden(), without "WHERE".
    QString filter() const;

    // A new customer at the end of the list: the current tenant, the next free
    // customer number, a new UnID and today as KundeSeit. Returns its row.
    int neu(const QDate& heute = QDate::currentDate());
    // Writes every change of the model in one transaction and, once it is
    // committed, reads the list again, so that the rows show what was stored.
    // A refused change or commit rolls back and stays in the model, to be
    // written again by the next call. Only when the list cannot be read after
    // the commit does it fail with the change saved (hatAenderungen() false).
    void speichern();
    // Drops every change not yet saved.
    void verwerfen();
    // Deletes the customer of the row in its own transaction and reads the
    // list again.
    void loeschen(int row);
    bool hatAenderungen() const;

private:
    QVariant naechsteKundenNr() const;
    // Commits the transaction; a failed commit is rolled back and reported as
    // the failure of what it was to do.
    void abschliessen(const QString& was);
    // Reads the list after a commit; a failure says what is stored all the same.
    void nachAbschlussLaden(const QString& getan);
    [[noreturn]] void datenbankFehler(const QString& was) const;
    [[noreturn]] void datenbankFehler(const QString& was, const QSqlError& error,
                                      const QString& statement) const;

    vorsa::db::Connection m_verbindung;
    std::unique_ptr<KundenModell> m_modell;
    std::optional<qlonglong> m_mandant;
    QString m_suche;
    bool m_faltung = false; // the SQLite connection compares with vorsa_casefold()
};

} // namespace kundenstamm

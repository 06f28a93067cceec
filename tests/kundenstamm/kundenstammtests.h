#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

namespace vorsa::test {

// Where the customer program's tests get their database: a copy of a
// generated customer-management database (TKunden, TMandanten).
class KundenBackend {
public:
    virtual ~KundenBackend() = default;
    virtual QString unavailableReason() const = 0; // empty when the database is there
    // Puts the customers and tenants of the generated SQLite file into a fresh
    // database and writes udlAdressen.UDL naming it into the folder.
    virtual void prepare(const QString& generatedSqlite, const QString& folder) = 0;
    // An open connection to that database for the checks of a test.
    virtual QSqlDatabase check() = 0;
    // Another program holds TKunden locked against writes until unlock().
    virtual void lock() = 0;
    virtual void unlock() = 0;
    // The next commits of a change fail until releaseCommit(): another
    // program reads (SQLite, whose database then keeps its rollback journal:
    // called before the program opens it) or a deferred check refuses
    // (PostgreSQL).
    virtual void blockCommit() = 0;
    virtual void releaseCommit() = 0;
    // Whether the engine tells apart the rows of a table without a primary
    // key (SQLite's row id); where not, addPrimaryKey() gives TKunden one.
    virtual bool rowsHaveAnId() const = 0;
    virtual void addPrimaryKey() = 0;
};

// The program Kundenstamm on a real database, offscreen, its message boxes
// and questions recorded.
class KundenstammTests : public QObject {
    Q_OBJECT

public:
    explicit KundenstammTests(KundenBackend& backend) : m_backend(backend) {}

private slots:
    void initTestCase();
    void init();

    void lastCustomerEditedAndSaved();
    void undoAndClosingWithoutSavingChangeNothing();
    void newCustomerCancelledOrSaved();
    void deleteAskedNoThenYes();
    void searchInTheTableView();
    void tenantChangeShowsThatTenantsCustomers();
    void refreshKeepsTheCustomer();
    void fieldsKeepNullAndConvertDates();
    void refusedSaveStaysInEditing();
    void failedCommitKeepsTheChangeForTheNextSave();
    void customerWithoutNumberIsChangedAlone();
    void numberGivenTwiceChangesOneRowOrNone();
    void tenantAboveSixteenBits();
    void searchFindsUmlautsInAnyCase();
    void lockedDatabaseIsReportedAndNothingHalfSaved();
    void missingDatabaseIsReportedAndRefreshConnects();
    void editedNumberReachesTheNumberIndex();
    void formOfTheProgramFolderIsUsed();
    void printedListHoldsEveryShownCustomerOnce();
    void printedSheetShowsTheFieldsOfTheForm();

private:
    KundenBackend& m_backend;
    QTemporaryDir m_generated;
    QString m_generatedFile;
    std::unique_ptr<QTemporaryDir> m_folder;
};

} // namespace vorsa::test

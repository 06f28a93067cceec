#pragma once

#include "databasebackend.h"

#include <QObject>
#include <QTemporaryDir>
#include <memory>

namespace vorsa::test {

// The caller lookup and the ride booking against a real database engine.
class DatabaseTests : public QObject {
    Q_OBJECT
public:
    explicit DatabaseTests(DatabaseBackend& backend) : m_backend(backend) {}

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Lookup
    void attemptsCutTrailingDigits_data();
    void attemptsCutTrailingDigits();
    void quoteInCallingNumberStaysInsideTheText();
    void shortNumberIsSearchedExactlyOnly();
    void rejectedStatementIsReported();
    void choiceBetweenQueries_data();
    void choiceBetweenQueries();
    void noConnectionIsReportedAndGivesNoQuery();
    void lookupKeepsTheConnectionForTheNextCall();
    void changedDataLinkIsOpenedAfresh();

    // Booking
    void bookingWritesTheRide();
    void bookingAtTheEndOfTheYearEndsNextYear();
    void bookingWithoutHouseNumber();
    void noBookingUnlessActiveAndMarked_data();
    void noBookingUnlessActiveAndMarked();
    void failedBookingLeavesNoRide_data();
    void failedBookingLeavesNoRide();

    // Last: the database goes away (PostgreSQL: the server is stopped).
    void databaseGoneMidwayIsReportedAndKeepsTheColumns();

private:
    void exec(const QString& statement);
    QString connectionString() const;

    DatabaseBackend& m_backend;
    std::unique_ptr<QTemporaryDir> m_dir;
};

} // namespace vorsa::test

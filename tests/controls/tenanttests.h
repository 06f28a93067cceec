#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QString>

namespace vorsa::test {

// Where the tenant list's tests get their database.
class TenantBackend {
public:
    virtual ~TenantBackend() = default;
    virtual QString engine() const = 0;                 // the folder of its table definitions
    virtual QString unavailableReason() const = 0;      // empty when the database is there
    virtual QSqlDatabase open(const QString& name) = 0; // an open connection of that name
};

// The toolbar's tenant list on a real TMandanten table.
class TenantListTests : public QObject {
    Q_OBJECT

public:
    explicit TenantListTests(TenantBackend& backend) : m_backend(backend) {}

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void listShowsTheNamesInTenantOrder();
    void boundTextSelectsAndReportsTheTenant();
    void everyRowIsReachable();
    void aBoundValueThatIsNoNumberIsReported();
    void missingTableOrColumnIsReported();
    void aConnectionOpenedLaterIsReadWhenNamedAgain();
    void theListOutlivesTheHostsConnection();

private:
    void fill(const QList<std::pair<int, QString>>& tenants);

    TenantBackend& m_backend;
    QSqlDatabase m_db;
};

} // namespace vorsa::test

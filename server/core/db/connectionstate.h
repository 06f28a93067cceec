#pragma once

#include "statementwatchdog.h"
#include "vberror.h"

#include <QList>
#include <QString>
#include <memory>

namespace vorsa::db::detail {

// Something that holds driver objects of a connection and must let go of
// them before the connection closes (the attached result sets).
class ConnectionUser {
public:
    virtual ~ConnectionUser() = default;
    virtual void connectionClosing() = 0;
};

// The part of a connection that its result sets share: it outlives the
// Connection object, so a result set can tell that its connection is gone.
struct ConnectionState {
    QString name; // unique Qt connection name while open
    QString driver;
    QString description; // for messages
    bool open = false;
    QList<ConnectionUser*> users;
    // Statements that the server does not answer within statementLimit are
    // ended on the client side (PostgreSQL with a statement limit only).
    std::shared_ptr<StatementWatchdog> watchdog;
    int socket = -1;
    std::chrono::milliseconds statementLimit{0};

    // The watch over one statement on this connection.
    StatementDeadline deadline() const
    {
        return StatementDeadline(watchdog.get(), socket, statementLimit);
    }

    void attach(ConnectionUser* user)
    {
        if (!users.contains(user)) {
            users.append(user);
        }
    }
    void detach(ConnectionUser* user) { users.removeAll(user); }
};

} // namespace vorsa::db::detail

namespace vorsa::db {
// The failure of a statement that the server did not answer within its limit.
VbError noAnswer(const detail::ConnectionState& state, const QString& statement);
} // namespace vorsa::db

#pragma once

#include <QList>
#include <QString>

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

    void attach(ConnectionUser* user)
    {
        if (!users.contains(user)) {
            users.append(user);
        }
    }
    void detach(ConnectionUser* user) { users.removeAll(user); }
};

} // namespace vorsa::db::detail

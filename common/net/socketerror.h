#pragma once

#include <QAbstractSocket>
#include <QString>

namespace vorsa {

// A socket failure as the operator sees it: the classic socket error number
// and a German description.
struct SocketError {
    int number;
    QString description;

    static SocketError from(QAbstractSocket::SocketError error);
};

} // namespace vorsa

#pragma once

#include "serverprocess.h"

#include <QList>
#include <QString>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>

// A headless VorsaSrv on the SIP line, listening on loopback, with a small
// SQLite number index and clients connected to it.
class SipServerFixture {
public:
    ~SipServerFixture();
    // Empty on success, else why it could not be set up.
    QString start(int clients, const QStringList& extraSettings = {});

    quint16 sipPort = 0;
    quint16 clientPort = 0;
    QTemporaryDir dir;
    vorsa::test::ServerProcess server{dir.path()};
    std::vector<std::unique_ptr<QTcpSocket>> clients;
};

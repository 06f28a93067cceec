#pragma once

#include <QString>
#include <QTemporaryDir>

namespace vorsa::test {

// Certificates for the TLS tests, made with the openssl command line in a
// temporary folder while the test runs (the repository keeps none): the
// office's certificate authority "ca.pem"; the server's "server.pem" and
// "server.key", valid for "localhost" and ::1 but not for 127.0.0.1; a
// workstation's "client.pem" and "client.key"; and a second authority
// "other-ca.pem" with a workstation certificate of its own, "other-client.pem"
// and "other-client.key".
class TestCertificates {
public:
    // Empty when they were made, else why not.
    QString make();
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

} // namespace vorsa::test

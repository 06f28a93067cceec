#include "testcertificates.h"

#include <QProcess>
#include <QStandardPaths>

namespace vorsa::test {

namespace {
const QStringList kNewKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-noenc"};
} // namespace

QString TestCertificates::make()
{
    if (!m_dir.isValid())
        return QStringLiteral("no temporary folder");
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        return QStringLiteral("openssl is not installed");
    const auto run = [&](QStringList arguments) -> QString {
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.start(openssl, arguments);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            return QStringLiteral("openssl %1: %2")
                .arg(arguments.join(' '), QString::fromLocal8Bit(p.readAllStandardError()));
        return {};
    };
    // An authority, and a certificate signed by one (no authority itself).
    const auto authority = [&](const QString& name, const QString& subject) {
        return run(QStringList{"req", "-x509"} + kNewKey +
                   QStringList{"-keyout", name + ".key", "-out", name + ".pem", "-days", "2",
                               "-subj", "/CN=" + subject});
    };
    const auto signedBy = [&](const QString& ca, const QString& name, const QString& subject,
                              const QStringList& more) {
        return run(QStringList{"req", "-x509"} + kNewKey +
                   QStringList{"-keyout", name + ".key", "-out", name + ".pem", "-days", "2",
                               "-subj", "/CN=" + subject, "-CA", ca + ".pem", "-CAkey", ca + ".key",
                               "-addext", "basicConstraints=CA:FALSE"} +
                   more);
    };
    for (const QString& failure :
         {authority("ca", "Vorsamelder Test-CA"),
          signedBy("ca", "server", "zentrale", {"-addext", "subjectAltName=DNS:localhost,IP:::1"}),
          signedBy("ca", "client", "platz7", {}), authority("other-ca", "Fremde CA"),
          signedBy("other-ca", "other-client", "fremd", {})}) {
        if (!failure.isEmpty())
            return failure;
    }
    return {};
}

} // namespace vorsa::test

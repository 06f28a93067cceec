#include "privatebus.h"

#include <QByteArray>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace vorsa::test {

namespace {
constexpr const char* Merkmal = "VORSA_PRIVATE_BUS";
}

bool privaterBus()
{
    return qgetenv(Merkmal) == "1" && qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
}

bool aufPrivatemBus(int argc, char** argv)
{
    if (qgetenv(Merkmal) == "1")
        return privaterBus();
    const QString programm = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
    const QByteArray build = qgetenv("VORSA_BUILD_DIR");
    const QByteArray config = build + "/dbus-1/session.conf";
    if (programm.isEmpty() || build.isEmpty() || !QFileInfo::exists(QString::fromLocal8Bit(config)))
        return false;
    ::setenv(Merkmal, "1", 1);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/vorsa-test-no-system-bus", 1);
    const QByteArray prog = programm.toLocal8Bit();
    const QByteArray configArg = "--config-file=" + config;
    std::vector<char*> args;
    args.push_back(const_cast<char*>(prog.constData()));
    args.push_back(const_cast<char*>(configArg.constData()));
    args.push_back(const_cast<char*>("--"));
    for (int i = 0; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execv(prog.constData(), args.data());
    ::unsetenv(Merkmal); // exec failed: run on without a bus
    return false;
}

} // namespace vorsa::test

#pragma once

// A server core in the test's own process, on a temporary program folder with
// a recording reporter and desktop, a controllable clock and a line the test
// rings.
#include "desktop.h"
#include "iconlist.h"
#include "ini.h"
#include "reporter.h"
#include "servercore.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <memory>

namespace vorsa::test {

// A line the test drives: its start succeeds or fails as told, and ring()
// reports a call.
class ScriptedLine : public IPhoneLine {
    Q_OBJECT
public:
    bool startResult = true;
    int starts = 0;
    int stops = 0;
    bool startCAPI() override
    {
        ++starts;
        return startResult;
    }
    void stopCAPI() override { ++stops; }
    bool up = false;
    bool lineUp() const override { return up; }
    QString capiVersion() const override { return QStringLiteral("2.0"); }
    QString capiRelease() const override { return QStringLiteral("7"); }
    QString cardMaker() const override { return QStringLiteral("Test"); }
    QString serialNumber() const override { return QStringLiteral("42"); }
    int dtmfSupport(qint16) override { return 1; }
    void ring(const QString& called, const QString& calling)
    {
        emit IncomingCall(called, calling, QString());
    }
};

struct ServerFixture {
    QTemporaryDir dir;
    RecordingReporter reporter;
    RecordingDesktop desktop;
    FileIconList icons;
    QDateTime now = QDateTime(QDate(2026, 12, 6), QTime(9, 14, 5));
    ScriptedLine* line = nullptr; // owned by the core
    bool listRows = true;
    std::unique_ptr<ServerCore> core;

    QString ini() const { return dir.filePath(QStringLiteral("VorsaSrv.INI")); }
    QString log() const { return dir.filePath(QStringLiteral("VorsaSvr.log")); }

    void write(const QString& name, const QByteArray& text)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(text);
    }
    void set(const char* section, const char* key, const QString& value)
    {
        IniSchreiben(QString::fromLatin1(section), QString::fromLatin1(key), ini(), value);
    }
    // A free port, so tests never meet on 1001.
    void usePrivatePort() { set("Settings", "LocalPort", QString::number(freePort())); }

    ServerCore& make()
    {
        ServerCore::Environment env;
        env.programDir = dir.path();
        env.reporter = &reporter;
        env.desktop = &desktop;
        env.icons = &icons;
        env.clock = [this] { return now; };
        env.listRows = listRows;
        env.lineFactory = [this](const QString&, const LineContext&) {
            auto l = std::make_unique<ScriptedLine>();
            line = l.get();
            return std::unique_ptr<IPhoneLine>(std::move(l));
        };
        core = std::make_unique<ServerCore>(env);
        return *core;
    }
    ServerCore& load()
    {
        make().Form_Load();
        return *core;
    }
    QStringList logLines() const
    {
        QFile f(log());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList out = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
        if (!out.isEmpty() && out.last().isEmpty())
            out.removeLast();
        return out;
    }
    QStringList journal() const
    {
        QStringList out;
        for (const auto& l : logLines())
            if (l.startsWith(QStringLiteral("*D*")))
                out << l;
        return out;
    }
};

} // namespace vorsa::test

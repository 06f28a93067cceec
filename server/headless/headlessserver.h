#pragma once

#include "reporter.h"

#include <QString>
#include <memory>

class QCommandLineParser;
class QCommandLineOption;
class QCoreApplication;

namespace vorsa {

// The command line of the server programs (VorsaSrv and vorsasrvd).
class ServerCommandLine {
public:
    // Sets up `parser` with --dir, --headless, --build-index, --help and --version.
    ServerCommandLine(QCommandLineParser& parser, const QString& name);
    ~ServerCommandLine();
    ServerCommandLine(const ServerCommandLine&) = delete;
    ServerCommandLine& operator=(const ServerCommandLine&) = delete;

    // After the parser has processed the arguments.
    QString programDir() const; // --dir, else the folder of the executable
    bool headless() const;
    bool buildIndex() const;

private:
    QCommandLineParser& m_parser;
    struct Options;
    std::unique_ptr<Options> m_options;
};

// Routes Qt's log messages to stderr, one line each ("category: message").
// When stderr is the system journal (a systemd service), each line begins
// with its syslog priority, so the journal keeps errors apart from notes.
void installServerLogging();

// The reporter of the server without a window: every message is a log
// message of the category vorsa.server (a warning, or critical for a
// critical box), on one line.
class ServerLogReporter : public IReporter {
public:
    void message(const QString& text, const QString& title, MessageIcon icon) override;
};

// Runs the server without a window on `programDir` until SIGTERM or SIGINT
// shuts it down the orderly way. Ends at once with status 1 when the server
// can take no call at all (no port, no line), saying why; `name` is the
// program as that message names it. Returns the exit status.
int runHeadlessServer(QCoreApplication& app, const QString& programDir, const QString& name);

} // namespace vorsa

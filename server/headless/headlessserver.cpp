#include "headlessserver.h"

#include "commandline.h"
#include "desktop.h"
#include "iconlist.h"
#include "linefactory.h"
#include "logging.h"
#include "programdir.h"
#include "servercore.h"
#include "unixsignals.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace vorsa {

struct ServerCommandLine::Options {
    QCommandLineOption dir{QStringLiteral("dir"),
                           QStringLiteral("Programmordner mit VorsaSrv.INI, udlVorsa.UDL und dem "
                                          "Anrufprotokoll (Vorgabe: der Ordner des Programms, im "
                                          "System installiert ~/.local/share/VorsaSrv)."),
                           QStringLiteral("ORDNER")};
    QCommandLineOption headless{QStringLiteral("headless"),
                                QStringLiteral("Ohne Fenster laufen; Meldungen gehen in das "
                                               "Protokoll (stderr)."),
                                QString()};
    QCommandLineOption buildIndex{
        QStringLiteral("build-index"),
        QStringLiteral("Den Nummernindex aus der Adressdatenbank (udlAdressen.UDL) neu aufbauen "
                       "und enden."),
        QString()};
};

ServerCommandLine::ServerCommandLine(QCommandLineParser& parser, const QString& name)
    : m_parser(parser), m_options(std::make_unique<Options>())
{
    setUpCommandLine(parser, name,
                     QStringLiteral("Vorsamelder-Anrufserver: erkennt Anrufer aus seiner "
                                    "Datenbank und meldet sie den Arbeitsplätzen (VorsaCl)."));
    parser.addOption(m_options->dir);
    parser.addOption(m_options->headless);
    parser.addOption(m_options->buildIndex);
}

ServerCommandLine::~ServerCommandLine() = default;

QString ServerCommandLine::programDir() const
{
    if (m_parser.isSet(m_options->dir))
        return programDirectory(
            {QString(), QStringLiteral("--dir"), m_parser.value(m_options->dir)});
    return programDirectory({});
}

bool ServerCommandLine::headless() const
{
    return m_parser.isSet(m_options->headless);
}

bool ServerCommandLine::buildIndex() const
{
    return m_parser.isSet(m_options->buildIndex);
}

namespace {

// Whether stderr is the system journal's stream (systemd names it in
// JOURNAL_STREAM as device:inode).
bool stderrIsJournal()
{
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const qsizetype colon = stream.indexOf(':');
    if (colon < 0)
        return false;
    struct stat st {};
    if (::fstat(fileno(stderr), &st) != 0)
        return false;
    return stream.left(colon).toULongLong() == quint64(st.st_dev) &&
           stream.mid(colon + 1).toULongLong() == quint64(st.st_ino);
}

int syslogPriority(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return 7;
    case QtInfoMsg:
        return 6;
    case QtWarningMsg:
        return 4;
    case QtCriticalMsg:
        return 3;
    case QtFatalMsg:
        return 2;
    }
    return 6;
}

bool g_journal = false;

void writeLogLine(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QByteArray line;
    if (g_journal)
        line += '<' + QByteArray::number(syslogPriority(type)) + '>';
    if (context.category && std::strcmp(context.category, "default") != 0)
        line += QByteArray(context.category) + ": ";
    QString flat = message;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line += flat.toLocal8Bit();
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

void installServerLogging()
{
    g_journal = stderrIsJournal();
    qInstallMessageHandler(writeLogLine);
}

void ServerLogReporter::message(const QString& text, const QString& title, MessageIcon icon)
{
    const QString line = LogReporter::logLine(text, title);
    if (icon == MessageIcon::Critical)
        qCCritical(lcServer).noquote() << line;
    else
        qCWarning(lcServer).noquote() << line;
}

int runHeadlessServer(QCoreApplication& app, const QString& programDir, const QString& name)
{
    ServerLogReporter reporter;
    HeadlessDesktop desktop;
    FileIconList icons;
    ServerCore::Environment env;
    env.programDir = programDir;
    env.reporter = &reporter;
    env.desktop = &desktop;
    env.icons = &icons;
    env.lineFactory = createPhoneLine;
    env.listRows = false; // no window shows them
    ServerCore core(env);
    // Caught from the start; a signal during the load is served after it.
    TerminationSignal stop([&] {
        core.Form_Unload();
        app.quit();
    });
    core.Form_Load();
    if (stop.open())
        return 0;
    // Without a port or a line the server would only sit there: the service
    // manager and the administrator must see that it did not start.
    if (const QString problem = core.startupProblem(); !problem.isEmpty()) {
        reporter.message(problem + QStringLiteral(" %1 wird beendet.").arg(name), name,
                         MessageIcon::Critical);
        core.Form_Unload();
        return 1;
    }
    return app.exec();
}

} // namespace vorsa

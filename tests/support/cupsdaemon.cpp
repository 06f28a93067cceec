#include "cupsdaemon.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <cups/cups.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorsa::test {

const QString CupsDaemon::PdfDrucker = QStringLiteral("PDF_Ablage");
const QString CupsDaemon::ZweiterDrucker = QStringLiteral("Zweiter_Drucker");

namespace {
const QString CupsPdfPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");

bool schreiben(const QString& pfad, const QByteArray& inhalt)
{
    QFile f(pfad);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(inhalt) == inhalt.size();
}

// The cups-pdf driver with three paper bins, for the second queue.
QByteArray ppdMitFaechern()
{
    QFile f(CupsPdfPpd);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray ppd = f.readAll();
    const QByteArray faecher = "*OpenUI *InputSlot/Media Source: PickOne\n"
                               "*OrderDependency: 20 AnySetup *InputSlot\n"
                               "*DefaultInputSlot: Upper\n"
                               "*InputSlot Upper/Upper Tray: \"\"\n"
                               "*InputSlot Lower/Lower Tray: \"\"\n"
                               "*InputSlot Manual/Manual Feed: \"\"\n"
                               "*CloseUI: *InputSlot\n\n";
    const qsizetype vor = ppd.indexOf("*OpenUI *Resolution");
    if (vor < 0)
        return {};
    ppd.insert(vor, faecher);
    return ppd;
}

int jobNummer(const QString& datei)
{
    static const QRegularExpression job(QStringLiteral("job_(\\d+)"));
    const auto m = job.match(datei);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

bool kannNamensraum()
{
    QProcess p;
    p.start(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("--propagation"),
                                        QStringLiteral("private"), QStringLiteral("true")});
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
} // namespace

CupsDaemon::CupsDaemon()
{
    if (::geteuid() != 0) {
        m_grund = QStringLiteral("Ein eigener CUPS-Dienst braucht Root-Rechte");
        return;
    }
    for (const char* noetig : {"/usr/sbin/cupsd", "/usr/lib/cups/backend/cups-pdf"}) {
        if (!QFileInfo::exists(QString::fromLatin1(noetig))) {
            m_grund = QStringLiteral("%1 fehlt (Pakete cups, printer-driver-cups-pdf)")
                          .arg(QString::fromLatin1(noetig));
            return;
        }
    }
    if (!QFileInfo::exists(CupsPdfPpd) ||
        QStandardPaths::findExecutable(QStringLiteral("lpstat")).isEmpty()) {
        m_grund = QStringLiteral("cups-client oder printer-driver-cups-pdf fehlt");
        return;
    }
    m_dir =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vorsa-cups-XXXXXX"));
    if (!m_dir->isValid()) {
        m_grund = QStringLiteral("Kein temporärer Ordner für CUPS");
        return;
    }
    const QString tag = QString::number(QCoreApplication::applicationPid()) + QLatin1Char('_') +
                        QFileInfo(m_dir->path()).fileName().section(QLatin1Char('-'), -1);
    m_instanz[0] = QStringLiteral("vorsa") + tag + QStringLiteral("a");
    m_instanz[1] = QStringLiteral("vorsa") + tag + QStringLiteral("b");
    m_laeuft = starten();
    if (!m_laeuft) {
        beenden();
        return;
    }
    ::setenv("CUPS_SERVER", socket().toLocal8Bit().constData(), 1);
    cupsSetServer(socket().toLocal8Bit().constData());
}

CupsDaemon::~CupsDaemon()
{
    beenden();
}

QString CupsDaemon::socket() const
{
    return m_dir ? m_dir->filePath(QStringLiteral("cups.sock")) : QString();
}

QString CupsDaemon::pdfOrdner(int warteschlange) const
{
    return m_dir->filePath(warteschlange == 0 ? QStringLiteral("pdf") : QStringLiteral("pdf2"));
}

void CupsDaemon::konfigurationSchreiben()
{
    const QDir d(m_dir->path());
    const QString conf = d.filePath(QStringLiteral("conf"));
    schreiben(conf + QStringLiteral("/cupsd.conf"),
              QStringLiteral("Listen %1\n"
                             "LogLevel warn\n"
                             "WebInterface No\n"
                             "Browsing No\n"
                             "DefaultAuthType None\n"
                             "MaxJobs 0\n"
                             "PreserveJobHistory No\n"
                             "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                             "  </Limit>\n</Policy>\n")
                  .arg(socket())
                  .toLocal8Bit());
    schreiben(conf + QStringLiteral("/cups-files.conf"),
              QStringLiteral("ServerRoot %1\n"
                             "RequestRoot %2/spool\n"
                             "TempDir %2/spool/tmp\n"
                             "CacheDir %2/cache\n"
                             "StateDir %2/state\n"
                             "ErrorLog %2/log/error_log\n"
                             "AccessLog %2/log/access_log\n"
                             "PageLog %2/log/page_log\n"
                             "User lp\nGroup lp\nSystemGroup root\n")
                  .arg(conf, m_dir->path())
                  .toLocal8Bit());
    for (int i = 0; i < 2; ++i) {
        schreiben(conf + QStringLiteral("/cups-pdf-%1.conf").arg(m_instanz[i]),
                  QStringLiteral("Out %1\nAnonDirName %1\nSpool %2/pdfspool%3\nLog %2/log\n"
                                 "Grp root\n")
                      .arg(pdfOrdner(i), m_dir->path())
                      .arg(i)
                      .toLocal8Bit());
    }
    schreiben(conf + QStringLiteral("/zweiter.ppd"), ppdMitFaechern());
}

bool CupsDaemon::starten()
{
    const QDir d(m_dir->path());
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0755); // filters run as lp
    for (const char* ordner : {"conf", "conf/ppd", "spool", "spool/tmp", "cache", "state", "log",
                               "pdf", "pdf2", "pdfspool0", "pdfspool1"}) {
        d.mkpath(QString::fromLatin1(ordner));
        ::chmod(QFile::encodeName(d.filePath(QString::fromLatin1(ordner))).constData(), 0755);
    }
    konfigurationSchreiben();
    const QString conf = d.filePath(QStringLiteral("conf"));

    QString programm;
    QStringList argumente;
    if (kannNamensraum()) {
        // In this namespace the test's folder is /etc/cups, where cups-pdf
        // looks for its settings.
        programm = QStringLiteral("unshare");
        argumente = {QStringLiteral("-m"),
                     QStringLiteral("--propagation"),
                     QStringLiteral("private"),
                     QStringLiteral("--"),
                     QStringLiteral("/bin/sh"),
                     QStringLiteral("-c"),
                     QStringLiteral("mount --bind \"$0\" /etc/cups && exec /usr/sbin/cupsd -f "
                                    "-c \"$0/cupsd.conf\" -s \"$0/cups-files.conf\""),
                     conf};
    } else {
        for (int i = 0; i < 2; ++i) {
            const QString ziel = QStringLiteral("/etc/cups/cups-pdf-%1.conf").arg(m_instanz[i]);
            if (!QFile::copy(conf + QStringLiteral("/cups-pdf-%1.conf").arg(m_instanz[i]), ziel)) {
                m_grund = QStringLiteral("%1 kann nicht geschrieben werden").arg(ziel);
                return false;
            }
            m_fremdeDateien << ziel;
        }
        programm = QStringLiteral("/usr/sbin/cupsd");
        argumente = {QStringLiteral("-f"), QStringLiteral("-c"),
                     conf + QStringLiteral("/cupsd.conf"), QStringLiteral("-s"),
                     conf + QStringLiteral("/cups-files.conf")};
    }
    QProcess cupsd;
    cupsd.setProgram(programm);
    cupsd.setArguments(argumente);
    cupsd.setStandardInputFile(QProcess::nullDevice());
    cupsd.setStandardOutputFile(d.filePath(QStringLiteral("log/cupsd.out")));
    cupsd.setStandardErrorFile(d.filePath(QStringLiteral("log/cupsd.out")));
    if (!cupsd.startDetached(&m_pid)) {
        m_grund = QStringLiteral("cupsd startet nicht");
        return false;
    }
    waechterStarten();

    QString ausgabe;
    const QDeadlineTimer frist(15000);
    while (!(werkzeug(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &ausgabe) &&
             ausgabe.contains(QStringLiteral("is running")))) {
        if (frist.hasExpired() || ::kill(pid_t(m_pid), 0) != 0) {
            QFile log(d.filePath(QStringLiteral("log/cupsd.out")));
            log.open(QIODevice::ReadOnly);
            QFile fehler(d.filePath(QStringLiteral("log/error_log")));
            fehler.open(QIODevice::ReadOnly);
            m_grund = QStringLiteral("cupsd läuft nicht an: ") +
                      QString::fromLocal8Bit(log.readAll() + fehler.readAll()).right(600);
            return false;
        }
        QThread::msleep(50);
    }
    const struct {
        QString name, instanz, ppd;
    } schlangen[] = {{PdfDrucker, m_instanz[0], CupsPdfPpd},
                     {ZweiterDrucker, m_instanz[1], conf + QStringLiteral("/zweiter.ppd")}};
    // cups-pdf takes PostScript; cairo's rendering of the job keeps the text
    // of the pages readable for pdftotext in the PDF that comes out.
    for (const auto& s : schlangen) {
        if (!werkzeug(QStringLiteral("lpadmin"),
                      {QStringLiteral("-p"), s.name, QStringLiteral("-E"), QStringLiteral("-v"),
                       QStringLiteral("cups-pdf:/") + s.instanz, QStringLiteral("-P"), s.ppd,
                       QStringLiteral("-o"), QStringLiteral("pdftops-renderer-default=pdftocairo")},
                      &ausgabe)) {
            m_grund = QStringLiteral("lpadmin: ") + ausgabe;
            return false;
        }
    }
    return true;
}

bool CupsDaemon::werkzeug(const QString& programm, const QStringList& argumente, QString* ausgabe,
                          int timeoutMs) const
{
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), socket());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(programm, argumente);
    const bool ok =
        p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ausgabe)
        *ausgabe = QString::fromLocal8Bit(p.readAll());
    return ok;
}

bool CupsDaemon::fertig(int timeoutMs)
{
    const QDeadlineTimer frist(timeoutMs);
    QString ausgabe;
    do {
        if (werkzeug(QStringLiteral("lpstat"), {QStringLiteral("-o")}, &ausgabe) &&
            ausgabe.trimmed().isEmpty())
            return true;
        QThread::msleep(50);
    } while (!frist.hasExpired());
    return false;
}

QStringList CupsDaemon::neuePdfs(int warteschlange, int anzahl, int timeoutMs)
{
    const QDeadlineTimer frist(timeoutMs);
    QStringList neu;
    do {
        fertig(int(qMax<qint64>(0, frist.remainingTime())));
        QStringList alle =
            QDir(pdfOrdner(warteschlange)).entryList({QStringLiteral("*.pdf")}, QDir::Files);
        neu.clear();
        for (const QString& f : alle)
            if (!m_gesehen[warteschlange].contains(f))
                neu << f;
        if (neu.size() >= anzahl)
            break;
        QThread::msleep(50);
    } while (!frist.hasExpired());
    std::sort(neu.begin(), neu.end(),
              [](const QString& a, const QString& b) { return jobNummer(a) < jobNummer(b); });
    m_gesehen[warteschlange] << neu;
    for (QString& f : neu)
        f = QDir(pdfOrdner(warteschlange)).filePath(f);
    return neu;
}

void CupsDaemon::waechterStarten()
{
    // A test that crashes never reaches the destructor: a small shell waits
    // for this process to end, then stops the daemon and removes its traces.
    // Only a process that still runs on this folder is stopped.
    QStringList argumente{
        QStringLiteral("-c"),
        QStringLiteral("ours() { tr '\\0' ' ' < /proc/$1/cmdline 2>/dev/null | grep -qF \"$2\"; }; "
                       "while kill -0 \"$0\" 2>/dev/null; do sleep 1; done; "
                       "ours \"$1\" \"$2\" && kill \"$1\" && sleep 1; "
                       "ours \"$1\" \"$2\" && kill -9 \"$1\"; "
                       "shift; rm -rf \"$@\""),
        QString::number(QCoreApplication::applicationPid()), QString::number(m_pid), m_dir->path()};
    argumente << m_fremdeDateien;
    QProcess waechter;
    waechter.setProgram(QStringLiteral("/bin/sh"));
    waechter.setArguments(argumente);
    waechter.setStandardInputFile(QProcess::nullDevice());
    waechter.setStandardOutputFile(QProcess::nullDevice());
    waechter.setStandardErrorFile(QProcess::nullDevice());
    waechter.startDetached();
}

void CupsDaemon::beenden()
{
    if (m_pid > 0) {
        ::kill(pid_t(m_pid), SIGTERM);
        const QDeadlineTimer frist(5000);
        while (::kill(pid_t(m_pid), 0) == 0 && !frist.hasExpired()) {
            ::waitpid(pid_t(m_pid), nullptr, WNOHANG);
            QThread::msleep(20);
        }
        if (::kill(pid_t(m_pid), 0) == 0)
            ::kill(pid_t(m_pid), SIGKILL);
        m_pid = 0;
    }
    for (const QString& f : std::as_const(m_fremdeDateien))
        QFile::remove(f);
    m_fremdeDateien.clear();
    if (m_laeuft) {
        ::unsetenv("CUPS_SERVER");
        cupsSetServer(nullptr);
        m_laeuft = false;
    }
    m_dir.reset();
}

} // namespace vorsa::test

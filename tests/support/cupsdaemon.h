#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace vorsa::test {

// A private CUPS daemon for tests, with two queues that write PDF files.
//
// The constructor starts `cupsd -f` (as root) with a configuration folder of
// its own in a temporary folder, listening only on a socket there, and adds
// two cups-pdf queues: "PDF_Ablage" (index 0 in the printer list) writing
// into pdfOrdner(0) and "Zweiter_Drucker" (index 1, with paper bins "Upper",
// "Lower", "Manual") writing into pdfOrdner(1). The backend reads its
// settings from /etc/cups; the daemon therefore runs in a mount namespace of
// its own in which the test's configuration folder is /etc/cups, so nothing
// of the machine's CUPS configuration is read or written. Where no mount
// namespace can be made, the backend's two settings files are written to
// /etc/cups under names of their own and removed again.
//
// It waits until `lpstat -r` says the scheduler runs, then points this
// process at it (CUPS_SERVER and libcups's server). The destructor stops the
// daemon and removes the folder; a watchdog does the same when the test
// process dies without it.
//
// When the daemon cannot run (not root, CUPS not installed), available() is
// false and reason() tells why; tests then skip:
//
//     vorsa::test::CupsDaemon cups;
//     if (!cups.available()) QSKIP(qPrintable(cups.reason()));
//     ... print on "PDF_Ablage" ...
//     QStringList pdfs = cups.neuePdfs(0, 1);   // waits for the job
class CupsDaemon {
public:
    static const QString PdfDrucker;     // "PDF_Ablage"
    static const QString ZweiterDrucker; // "Zweiter_Drucker"

    CupsDaemon();
    ~CupsDaemon();
    CupsDaemon(const CupsDaemon&) = delete;
    CupsDaemon& operator=(const CupsDaemon&) = delete;

    bool available() const { return m_laeuft; }
    QString reason() const { return m_grund; }

    // The value of CUPS_SERVER for programs that print here.
    QString socket() const;
    // Where queue 0 or 1 writes its PDF files.
    QString pdfOrdner(int warteschlange) const;

    // Waits until no job is pending any more (false after timeoutMs).
    bool fertig(int timeoutMs = 30000);
    // Waits for the jobs and returns the PDF files that queue 0 or 1 wrote
    // since the last call, in the order of their jobs; fails the wait after
    // timeoutMs when fewer than `anzahl` came.
    QStringList neuePdfs(int warteschlange, int anzahl, int timeoutMs = 30000);

    // Runs a CUPS command-line tool (lpstat, lpadmin, ...) on this daemon.
    bool werkzeug(const QString& programm, const QStringList& argumente, QString* ausgabe = nullptr,
                  int timeoutMs = 15000) const;

private:
    bool starten();
    void konfigurationSchreiben();
    void beenden();
    void waechterStarten();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_instanz[2];
    QStringList m_fremdeDateien; // backend settings written to /etc/cups
    qint64 m_pid = 0;
    bool m_laeuft = false;
    QString m_grund;
    QStringList m_gesehen[2];
};

} // namespace vorsa::test

// Sends one call to the simulated line of a running server: the line
// "called;calling" on the socket "VorsaSrv.sim" in the server's folder. The
// line answers "OK", or "FEHLER " and why it took no call; only "OK" ends
// this program with status 0.

#include "commandline.h"
#include "translations.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <cstdio>

namespace {

constexpr int TimeoutMs = 3000;
// The answer comes once the server has handled the call, which may wait for
// its database.
constexpr int AnswerTimeoutMs = 15000;

int fail(const QString& text, int code = 1)
{
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    return code;
}

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

QString reason(const QLocalSocket& socket)
{
    switch (socket.error()) {
    case QLocalSocket::ServerNotFoundError:
        return QStringLiteral("es gibt dort keinen Socket");
    case QLocalSocket::ConnectionRefusedError:
        return QStringLiteral("niemand nimmt die Verbindung an");
    case QLocalSocket::SocketAccessError:
        return QStringLiteral("Zugriff verweigert");
    case QLocalSocket::SocketTimeoutError:
        return QStringLiteral("Zeitüberschreitung");
    default:
        return socket.errorString();
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    vorsa::installGermanTranslations(app);

    QCommandLineParser parser;
    vorsa::setUpCommandLine(
        parser, QStringLiteral("vorsa-call"),
        QStringLiteral("Meldet einen Anruf an die simulierte Leitung eines laufenden VorsaSrv."));
    const QCommandLineOption dirOption(
        QStringLiteral("dir"),
        QStringLiteral("Programmordner des Servers (Vorgabe: der aktuelle Ordner)."),
        QStringLiteral("DIR"));
    parser.addOption(dirOption);
    parser.addPositionalArgument(QStringLiteral("CALLED"),
                                 QStringLiteral("Die angerufene eigene Nummer (MSN)."));
    parser.addPositionalArgument(
        QStringLiteral("CALLING"),
        QStringLiteral("Die Nummer des Anrufers, z. B. 0987612345 oder (hidden)."));
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 2)
        return fail(QStringLiteral("Aufruf: vorsa-call [--dir DIR] CALLED CALLING"), 2);
    const QString& called = args.at(0);
    const QString& calling = args.at(1);
    if (called.contains(QLatin1Char(';')) || hasLineBreak(called) || hasLineBreak(calling))
        return fail(QStringLiteral("Die angerufene Nummer darf kein \";\" und keine der beiden "
                                   "Nummern einen Zeilenumbruch enthalten."),
                    2);

    const QString dir = parser.isSet(dirOption) ? parser.value(dirOption) : QDir::currentPath();
    const QString path = QDir(dir).absoluteFilePath(QStringLiteral("VorsaSrv.sim"));

    QLocalSocket socket;
    socket.connectToServer(path, QIODevice::ReadWrite);
    if (!socket.waitForConnected(TimeoutMs))
        return fail(QStringLiteral("Keine Verbindung zur simulierten Leitung \"%1\": %2. "
                                   "Läuft VorsaSrv mit Line=SIM in diesem Ordner?")
                        .arg(QDir::toNativeSeparators(path), reason(socket)));

    socket.write((called + QLatin1Char(';') + calling + QLatin1Char('\n')).toUtf8());
    // The answer may come before everything is written (a refused long line).
    QByteArray answer;
    QDeadlineTimer deadline(AnswerTimeoutMs);
    while (!answer.contains('\n') && !deadline.hasExpired()) {
        answer += socket.readAll();
        if (answer.contains('\n') || socket.state() != QLocalSocket::ConnectedState)
            break;
        if (socket.bytesToWrite() > 0)
            socket.waitForBytesWritten(50);
        socket.waitForReadyRead(50);
    }
    answer += socket.readAll();
    socket.abort();
    const QString text = QString::fromUtf8(answer.left(answer.indexOf('\n')));
    if (text == QLatin1String("OK"))
        return 0;
    if (text.startsWith(QLatin1String("FEHLER ")))
        return fail(QStringLiteral("Der Anruf wurde nicht angenommen: ") + text.mid(7));
    return fail(QStringLiteral("Die simulierte Leitung hat den Anruf nicht bestätigt (%1).")
                    .arg(answer.isEmpty() ? QStringLiteral("keine Antwort") : text));
}

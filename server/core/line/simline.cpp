#include "simline.h"

#include "net/socketerror.h"
#include "reporter.h"
#include "vberror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace vorsa {

namespace {
const char* const BufferProperty = "vorsaSimBuffer";
// Set while the rest of a refused overlong line is read and dropped.
const char* const DroppingProperty = "vorsaSimDropping";
} // namespace

SimLine::SimLine(const QString& programDir, IReporter* reporter, QObject* parent)
    : IPhoneLine(parent), m_path(QDir(programDir).absoluteFilePath(socketName())),
      m_reporter(reporter)
{
}

void SimLine::reportFailure(const QString& why)
{
    if (m_reported || !m_reporter)
        return;
    m_reported = true;
    m_reporter->reportError(
        QStringLiteral("startCAPI"), err::PathFileAccess,
        QStringLiteral("Die simulierte Leitung kann %1 nicht öffnen: %2").arg(m_path, why));
}

SimLine::~SimLine()
{
    if (m_server)
        m_server->close(); // removes the socket file
}

bool SimLine::startCAPI()
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        // A socket file left behind by a server that ended without closing it
        // goes; one that another running server answers on stays its own.
        if (QFileInfo::exists(m_path)) {
            QLocalSocket probe;
            probe.connectToServer(m_path);
            if (probe.waitForConnected(200)) {
                probe.abort();
                delete m_server;
                m_server = nullptr;
                reportFailure(QStringLiteral("ein anderer Server nimmt dort schon Anrufe an"));
                return false;
            }
            QLocalServer::removeServer(m_path);
        }
        if (!m_server->listen(m_path)) {
            // A socket path has at most 107 bytes: a deep program folder
            // cannot hold one.
            const QString why = QFile::encodeName(m_path).size() > 107
                                    ? QStringLiteral("der Pfad ist länger als 107 Zeichen")
                                    : SocketError::from(m_server->serverError()).description;
            delete m_server;
            m_server = nullptr;
            reportFailure(why);
            return false;
        }
        connect(m_server, &QLocalServer::newConnection, this, &SimLine::acceptSenders);
    }
    m_started = true;
    m_reported = false;
    if (!m_waiting.isEmpty())
        QMetaObject::invokeMethod(this, &SimLine::deliverWaiting, Qt::QueuedConnection);
    return true;
}

void SimLine::stopCAPI()
{
    m_started = false;
}

bool SimLine::lineUp() const
{
    return m_started && m_server && m_server->isListening();
}

void SimLine::acceptSenders()
{
    while (QLocalSocket* sender = m_server->nextPendingConnection()) {
        connect(sender, &QLocalSocket::readyRead, this,
                [this, sender] { readFrom(sender, false); });
        connect(sender, &QLocalSocket::disconnected, this, [this, sender] {
            readFrom(sender, true);
            sender->deleteLater();
        });
        if (sender->bytesAvailable() > 0)
            readFrom(sender, false);
    }
}

QByteArray SimLine::refusedAnswer(const QString& reason)
{
    return QByteArrayLiteral("FEHLER ") + reason.toUtf8() + '\n';
}

void SimLine::readFrom(QLocalSocket* sender, bool finished)
{
    QByteArray buffer = sender->property(BufferProperty).toByteArray() + sender->readAll();
    bool dropping = sender->property(DroppingProperty).toBool();
    const QByteArray tooLong = refusedAnswer(
        QStringLiteral("Die Zeile ist länger als %1 Bytes; es wurde kein Anruf gemeldet.")
            .arg(MaxLineBytes));
    qsizetype end;
    while ((end = buffer.indexOf('\n')) >= 0) {
        QByteArray answer;
        if (dropping)
            dropping = false; // the end of the refused line
        else if (end > MaxLineBytes)
            answer = tooLong;
        else
            answer = takeLine(buffer.left(end));
        if (!finished)
            sender->write(answer);
        buffer.remove(0, end + 1);
    }
    if (dropping) {
        buffer.clear();
    } else if (buffer.size() > MaxLineBytes) {
        // No call, and nothing of it kept: the sender is told, and the rest of
        // the line is read and dropped as it comes.
        if (!finished)
            sender->write(tooLong);
        buffer.clear();
        dropping = true;
    } else if (finished) {
        if (!buffer.isEmpty())
            takeLine(buffer); // a last line without LF
        buffer.clear();
    }
    sender->setProperty(BufferProperty, buffer);
    sender->setProperty(DroppingProperty, dropping);
}

QByteArray SimLine::takeLine(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    const QString text = QString::fromUtf8(line);
    const qsizetype separator = text.indexOf(QLatin1Char(';'));
    if (separator < 0)
        return refusedAnswer(
            QStringLiteral("Die Zeile hat nicht die Form "
                           "\"angerufen;anrufend\"; es wurde kein Anruf gemeldet."));
    const QString called = text.left(separator);
    const QString calling = text.mid(separator + 1);
    if (m_started && m_waiting.isEmpty())
        emit IncomingCall(called, calling, QString());
    else
        m_waiting.append({called, calling});
    return acceptedAnswer();
}

void SimLine::deliverWaiting()
{
    while (m_started && !m_waiting.isEmpty()) {
        const auto call = m_waiting.takeFirst();
        emit IncomingCall(call.first, call.second, QString());
    }
}

} // namespace vorsa

#include "capiline.h"

#include "capimessage.h"
#include "reporter.h"

#include <QSocketNotifier>

#include <capi20.h>

namespace vorsa {

namespace {

constexpr unsigned NoError = 0x0000;
constexpr unsigned QueueEmpty = 0x1104;
constexpr quint32 AllServices = 0x1FFF03FF;
constexpr quint16 RejectIgnore = 1;
constexpr int MaxControllers = 8;

QString bufferText(const unsigned char* buf, int size)
{
    return QString::fromLatin1(reinterpret_cast<const char*>(buf),
                               qstrnlen(reinterpret_cast<const char*>(buf), size))
        .trimmed();
}

} // namespace

struct CapiLine::Impl {
    CapiLine* q;
    IReporter* reporter;
    unsigned applId = 0;
    bool registered = false;
    quint16 messageNumber = 1;
    QSocketNotifier* notifier = nullptr;
    QString problem;
    bool reported = false;

    void report(const QString& text)
    {
        problem = text;
        if (!reported && reporter)
            reporter->reportError(QStringLiteral("CAPI"), err::InternalError, text);
        reported = true;
    }

    bool put(QByteArray message)
    {
        const unsigned rc =
            capi20_put_message(applId, reinterpret_cast<unsigned char*>(message.data()));
        return rc == NoError;
    }

    void readMessages()
    {
        for (int i = 0; i < 64; ++i) {
            unsigned char* buf = nullptr;
            const unsigned rc = capi20_get_message(applId, &buf);
            if (rc == QueueEmpty || !buf)
                return;
            if (rc != NoError) {
                // The connection to the (remote) CAPI is gone: its descriptor
                // stays readable, so reading on would spin. The line is down
                // until the next restart registers again.
                report(
                    QStringLiteral("CAPI-Fehler 0x%1 beim Lesen").arg(rc, 4, 16, QLatin1Char('0')));
                QMetaObject::invokeMethod(
                    q,
                    [this] {
                        stop();
                        emit q->StatusChanged();
                    },
                    Qt::QueuedConnection);
                if (notifier)
                    notifier->setEnabled(false);
                return;
            }
            const int len = buf[0] | (buf[1] << 8);
            handle(QByteArray(reinterpret_cast<const char*>(buf), len));
        }
    }

    void handle(const QByteArray& m)
    {
        capi::Header h;
        if (!capi::Header::read(m, h) || h.subcommand != capi::Ind)
            return; // confirmations need nothing
        quint32 id = 0;
        if (m.size() >= 12)
            id = quint8(m[8]) | (quint8(m[9]) << 8) | (quint8(m[10]) << 16) |
                 (quint32(quint8(m[11])) << 24);
        switch (h.command) {
        case capi::Connect: {
            capi::ConnectInd ind;
            if (!capi::ConnectInd::decode(m, ind)) {
                put(capi::connectResp(quint16(applId), h.number, id, RejectIgnore));
                return;
            }
            // Ignore, so that the phones of the office ring on.
            put(capi::connectResp(quint16(applId), h.number, ind.plci, RejectIgnore));
            emit q->IncomingCall(ind.called, ind.calling, QString::number(ind.cip));
            return;
        }
        case capi::Facility: {
            const quint16 selector =
                m.size() >= 14 ? quint16(quint8(m[12]) | (quint8(m[13]) << 8)) : 0;
            put(capi::facilityResp(quint16(applId), h.number, id, selector));
            return;
        }
        case capi::DataB3: {
            const quint16 handle =
                m.size() >= 20 ? quint16(quint8(m[18]) | (quint8(m[19]) << 8)) : 0;
            put(capi::dataB3Resp(quint16(applId), h.number, id, handle));
            return;
        }
        default:
            put(capi::simpleResp(quint16(applId), h.command, h.number, id));
            return;
        }
    }

    bool start()
    {
        if (registered)
            return true;
        if (capi20_isinstalled() != NoError) {
            report(QStringLiteral("Kein CAPI vorhanden (weder Karte noch entferntes CAPI in "
                                  "/etc/capi20.conf)"));
            return false;
        }
        const unsigned rc = capi20_register(30, 7, 2048, &applId);
        if (rc != NoError) {
            report(QStringLiteral("CAPI-Anmeldung fehlgeschlagen (0x%1)")
                       .arg(rc, 4, 16, QLatin1Char('0')));
            return false;
        }
        registered = true;
        const int fd = capi20_fileno(applId);
        if (fd >= 0) {
            notifier = new QSocketNotifier(fd, QSocketNotifier::Read, q);
            QObject::connect(notifier, &QSocketNotifier::activated, q, [this] { readMessages(); });
        }
        unsigned char profile[64] = {};
        int controllers = 1;
        if (capi20_get_profile(0, profile) == NoError)
            controllers = qBound(1, profile[0] | (profile[1] << 8), MaxControllers);
        for (int c = 1; c <= controllers; ++c)
            put(capi::listenReq(quint16(applId), messageNumber++, quint32(c), AllServices));
        problem.clear();
        reported = false;
        return true;
    }

    void stop()
    {
        delete notifier;
        notifier = nullptr;
        if (registered)
            capi20_release(applId);
        registered = false;
    }
};

CapiLine::CapiLine(IReporter* reporter, QObject* parent)
    : IPhoneLine(parent), d(std::make_unique<Impl>())
{
    d->q = this;
    d->reporter = reporter;
}

CapiLine::~CapiLine()
{
    d->stop();
}

bool CapiLine::startCAPI()
{
    return d->start();
}

bool CapiLine::lineUp() const
{
    return d->registered;
}

void CapiLine::stopCAPI()
{
    d->stop();
}

QString CapiLine::capiVersion() const
{
    unsigned char buf[16] = {};
    if (!capi20_get_version(0, buf))
        return {};
    const auto word = [&](int i) {
        return buf[i] | (buf[i + 1] << 8) | (buf[i + 2] << 16) | (buf[i + 3] << 24);
    };
    return QStringLiteral("%1.%2").arg(word(0)).arg(word(4));
}

QString CapiLine::capiRelease() const
{
    unsigned char buf[16] = {};
    if (!capi20_get_version(0, buf))
        return d->problem;
    const auto word = [&](int i) {
        return buf[i] | (buf[i + 1] << 8) | (buf[i + 2] << 16) | (buf[i + 3] << 24);
    };
    return QStringLiteral("%1.%2").arg(word(8)).arg(word(12));
}

QString CapiLine::cardMaker() const
{
    unsigned char buf[64] = {};
    return capi20_get_manufacturer(0, buf) ? bufferText(buf, sizeof buf) : QString();
}

QString CapiLine::serialNumber() const
{
    unsigned char buf[16] = {};
    return capi20_get_serial_number(0, buf) ? bufferText(buf, sizeof buf) : QString();
}

int CapiLine::dtmfSupport(qint16)
{
    // The controller's profile: global options, bit 3 is DTMF.
    unsigned char profile[64] = {};
    if (capi20_get_profile(1, profile) != NoError)
        return 0;
    const quint32 options =
        profile[4] | (profile[5] << 8) | (profile[6] << 16) | (quint32(profile[7]) << 24);
    return (options & 0x08) ? 1 : 0;
}

} // namespace vorsa

// The sofia headers come first: glib.h must not see Qt's keyword macros.
#include <sofia-sip/msg_addr.h>
#include <sofia-sip/msg_header.h>
#include <sofia-sip/nua.h>
#include <sofia-sip/nua_tag.h>
#include <sofia-sip/sip_header.h>
#include <sofia-sip/sip_status.h>
#include <sofia-sip/sofia_features.h>
#include <sofia-sip/su_glib.h>
#include <sofia-sip/su_tag.h>

#include "sipline.h"

#include "numberplan.h"
#include "reporter.h"
#include "sipparties.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QSet>
#include <QTimer>

namespace vorsa {

namespace {

constexpr int MaxRingingCalls = 200;
constexpr int RegisterRetryMs = 60000;
constexpr int StopGraceMs = 2000;
constexpr int ShutdownWaitMs = 3000;

// Stacks whose owner is gone must not reach it from a late callback.
QSet<const void*>& liveAgents()
{
    static QSet<const void*> agents;
    return agents;
}

QByteArray requestText(msg_t* msg)
{
    if (!msg)
        return {};
    size_t len = 0;
    char* text = msg_as_string(nullptr, msg, nullptr, 0, &len);
    if (!text)
        return {};
    QByteArray out(text, qsizetype(len));
    su_free(nullptr, text);
    return out;
}

QHostAddress sourceAddress(msg_t* msg)
{
    if (!msg)
        return {};
    const su_addrinfo_t* ai = msg_addrinfo(msg);
    if (!ai || !ai->ai_addr)
        return {};
    return QHostAddress(reinterpret_cast<const sockaddr*>(ai->ai_addr));
}

QString listenUrl(const QString& listen)
{
    QString l = listen.trimmed();
    if (l.startsWith(QStringLiteral("0.0.0.0")))
        l.replace(0, 7, QStringLiteral("*"));
    if (l.isEmpty())
        l = QStringLiteral("*:5060");
    return QStringLiteral("sip:") + l;
}

} // namespace

struct SipLine::Impl {
    enum class Registration { None, Running, Registered, Failed };

    SipLine* q;
    Settings settings;
    IReporter* reporter;
    NumberPlan plan;

    su_root_t* root = nullptr;
    nua_t* nua = nullptr;
    nua_handle_t* reg = nullptr;
    bool glib = false;
    bool shutdownDone = false;
    bool wanted = false;
    bool stopPending = false;

    Registration registration = Registration::None;
    QString problem; // why the line is not ready, for the status texts
    int authTries = 0;
    bool reportedProblem = false;

    QString registrarUri;
    QString registrarHost;
    QList<QHostAddress> registrarAddresses;

    struct Call {
        QElapsedTimer since;
        bool answered = false;
    };
    QHash<nua_handle_t*, Call> calls;

    QTimer pollTimer;
    QTimer stopTimer;
    QTimer ringTimer;
    QTimer retryTimer;

    Impl(SipLine* owner, const Settings& s, IReporter* r)
        : q(owner), settings(s), reporter(r), plan(NumberPlan::forCountry(s.country))
    {
        liveAgents().insert(this);
        if (!settings.registrar.isEmpty()) {
            registrarUri = settings.registrar.trimmed();
            if (!registrarUri.startsWith(QStringLiteral("sip:"), Qt::CaseInsensitive) &&
                !registrarUri.startsWith(QStringLiteral("sips:"), Qt::CaseInsensitive))
                registrarUri.prepend(QStringLiteral("sip:"));
            registrarHost = SipAddress::parse(registrarUri).host;
            if (registrarHost.startsWith(u'['))
                registrarHost = registrarHost.mid(1, registrarHost.size() - 2);
        }
    }

    ~Impl()
    {
        destroyStack();
        liveAgents().remove(this);
    }

    bool hasRegistrar() const { return !registrarUri.isEmpty(); }
    bool ready() const
    {
        return nua && (!hasRegistrar() || registration == Registration::Registered);
    }

    void reportOnce(int number, const QString& text)
    {
        if (reportedProblem || !reporter)
            return;
        reportedProblem = true;
        reporter->reportError(QStringLiteral("SIP"), number, text);
    }

    bool createStack();
    void destroyStack();
    void resolveRegistrar();
    void registerNow();
    void expireRingingCalls();

    void onEvent(nua_event_t event, int status, const char* phrase, nua_handle_t* nh,
                 const sip_t* sip, tagi_t tags[]);
    void onInvite(nua_handle_t* nh, const sip_t* sip);
    void onRegister(int status, const char* phrase, nua_handle_t* nh, const sip_t* sip);

    static void callback(nua_event_t event, int status, char const* phrase, nua_t* nua,
                         nua_magic_t* magic, nua_handle_t* nh, nua_hmagic_t* hmagic,
                         sip_t const* sip, tagi_t tags[])
    {
        Q_UNUSED(nua);
        Q_UNUSED(hmagic);
        auto* self = reinterpret_cast<Impl*>(magic);
        if (!liveAgents().contains(self)) {
            if (nh && event != nua_r_shutdown)
                nua_handle_destroy(nh);
            return;
        }
        self->onEvent(event, status, phrase, nh, sip, tags);
    }
};

bool SipLine::Impl::createStack()
{
    if (nua)
        return true;
    su_init();
    // Debian's Qt runs its main thread on GLib's default context: the stack
    // becomes one more source of it. Elsewhere a short poll timer steps it.
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    glib = dispatcher && QByteArray(dispatcher->metaObject()->className()).contains("Glib");
    if (glib) {
        root = su_glib_root_create(nullptr);
        if (root) {
            // Ahead of the program's own queued work: INVITEs that arrived
            // while the call path was busy get their 180 before the next
            // batch of queued calls is handled.
            GSource* source = su_glib_root_gsource(root);
            g_source_set_priority(source, G_PRIORITY_HIGH);
            g_source_attach(source, nullptr);
        }
    } else {
        root = su_root_create(nullptr);
    }
    if (!root) {
        problem = QStringLiteral("SIP-Stack nicht verfügbar");
        reportOnce(err::InternalError, problem);
        su_deinit();
        return false;
    }

    const QByteArray url = listenUrl(settings.listen).toUtf8();
    const QByteArray agent = QByteArrayLiteral("VorsaSrv");
    shutdownDone = false;
    nua = nua_create(
        root, &Impl::callback, reinterpret_cast<nua_magic_t*>(this), NUTAG_URL(url.constData()),
        NUTAG_MEDIA_ENABLE(0), NUTAG_AUTOALERT(0), NUTAG_AUTOANSWER(0), NUTAG_ENABLEINVITE(1),
        NUTAG_ALLOW("INVITE, ACK, CANCEL, BYE, OPTIONS"),
        // No OPTIONS to our own contact through the registrar:
        // many registrars and PBXs do not route them.
        NUTAG_OUTBOUND("no-validate"), SIPTAG_USER_AGENT_STR(agent.constData()), TAG_END());
    if (!nua) {
        problem = QStringLiteral("kann nicht auf %1 empfangen (Adresse belegt oder ungültig)")
                      .arg(settings.listen);
        reportOnce(err::SocketError,
                   QStringLiteral("Der SIP-Anschluss kann nicht auf %1 empfangen. Ist die Adresse "
                                  "belegt oder ungültig?")
                       .arg(settings.listen));
        su_root_destroy(root);
        root = nullptr;
        su_deinit();
        return false;
    }
    if (!glib)
        pollTimer.start(5);
    problem.clear();
    if (hasRegistrar())
        resolveRegistrar();
    return true;
}

void SipLine::Impl::destroyStack()
{
    pollTimer.stop();
    retryTimer.stop();
    if (!nua)
        return;
    // Ends ringing calls and removes the registration; bounded, for a
    // registrar that does not answer.
    nua_shutdown(nua);
    QElapsedTimer t;
    t.start();
    while (!shutdownDone && t.elapsed() < ShutdownWaitMs)
        su_root_step(root, 50);
    if (shutdownDone) {
        nua_destroy(nua);
        su_root_destroy(root);
        su_deinit();
    }
    // Otherwise the stack is left as it is (the callback no longer reaches us).
    nua = nullptr;
    root = nullptr;
    reg = nullptr;
    calls.clear();
    registration = Registration::None;
}

void SipLine::Impl::resolveRegistrar()
{
    const QHostAddress literal(registrarHost);
    if (!literal.isNull()) {
        registrarAddresses = {literal};
        return;
    }
    // Looked up again at every registration: a name server that was not
    // ready at boot, or a provider that moved, must not leave every call
    // refused. Addresses already known are kept until a lookup finds others.
    QHostInfo::lookupHost(registrarHost, q, [this](const QHostInfo& info) {
        if (!info.addresses().isEmpty())
            registrarAddresses = info.addresses();
    });
}

void SipLine::Impl::registerNow()
{
    if (!nua || !hasRegistrar())
        return;
    resolveRegistrar();
    const QByteArray aor = QStringLiteral("sip:%1@%2").arg(settings.user, registrarHost).toUtf8();
    if (!reg)
        reg = nua_handle(nua, nullptr, SIPTAG_TO_STR(aor.constData()),
                         SIPTAG_FROM_STR(aor.constData()), TAG_END());
    const QByteArray registrar = registrarUri.toUtf8();
    const QByteArray user = settings.user.toUtf8();
    const QByteArray expires = QByteArray::number(qMax(60, settings.expires));
    authTries = 0;
    if (registration != Registration::Registered)
        registration = Registration::Running;
    nua_register(reg, NUTAG_REGISTRAR(URL_STRING_MAKE(registrar.constData())),
                 NUTAG_M_USERNAME(user.constData()), SIPTAG_EXPIRES_STR(expires.constData()),
                 TAG_END());
}

void SipLine::Impl::onEvent(nua_event_t event, int status, const char* phrase, nua_handle_t* nh,
                            const sip_t* sip, tagi_t tags[])
{
    switch (event) {
    case nua_i_invite:
        onInvite(nh, sip);
        return;
    case nua_i_cancel: {
        // A CANCEL because someone else picked up tells that the call was taken.
        const QByteArray cancel = requestText(nua_current_request(nua)).toLower();
        if (cancel.contains("cause=200") || cancel.contains("completed elsewhere")) {
            const QString callId =
                sip && sip->sip_call_id ? QString::fromUtf8(sip->sip_call_id->i_id) : QString();
            QMetaObject::invokeMethod(
                q, [q = q, callId] { emit q->IncomingPhoneCall(callId, QString()); },
                Qt::QueuedConnection);
        }
        return;
    }
    case nua_i_state: {
        int state = nua_callstate_init;
        tl_gets(tags, NUTAG_CALLSTATE_REF(state), TAG_END());
        if (state == nua_callstate_terminated && nh && nh != reg) {
            calls.remove(nh);
            nua_handle_destroy(nh);
        }
        return;
    }
    case nua_r_register:
        onRegister(status, phrase, nh, sip);
        return;
    case nua_r_shutdown:
        if (status >= 200)
            shutdownDone = true;
        return;
    case nua_i_options:
    case nua_i_message:
    case nua_i_subscribe:
    case nua_i_notify:
    case nua_i_refer:
    case nua_i_publish:
    case nua_i_info:
    case nua_i_method:
    case nua_i_register:
        // Answered by the stack; nothing of ours hangs on the handle.
        if (nh && nh != reg && !calls.contains(nh))
            nua_handle_destroy(nh);
        return;
    default:
        return;
    }
}

void SipLine::Impl::onInvite(nua_handle_t* nh, const sip_t* sip)
{
    msg_t* request = nua_current_request(nua);
    if (hasRegistrar()) {
        // Scanners on the internet send INVITEs to every open port; calls come
        // only from the registrar.
        const QHostAddress from = sourceAddress(request);
        bool known = false;
        for (const QHostAddress& a : registrarAddresses)
            known = known || a.isEqual(from, QHostAddress::ConvertV4MappedToIPv4);
        if (!known) {
            nua_respond(nh, SIP_403_FORBIDDEN, TAG_END());
            return; // the handle goes with its terminated state
        }
    }
    if (calls.size() >= MaxRingingCalls) {
        nua_respond(nh, SIP_486_BUSY_HERE, TAG_END());
        return;
    }
    // Ring, and stay ringing: no 2xx (that would take the call), no 6xx (that
    // would end it at every other phone of a forking PBX).
    nua_respond(nh, SIP_180_RINGING, TAG_END());
    Call call;
    call.since.start();
    calls.insert(nh, call);
    if (!ringTimer.isActive())
        ringTimer.start(5000);

    const SipParties parties = SipParties::fromMessage(requestText(request));
    const QString calling = parties.callingNumber(plan);
    const QString called = parties.calledNumber(plan, settings.user);
    const QString callId =
        sip && sip->sip_call_id ? QString::fromUtf8(sip->sip_call_id->i_id) : QString();
    // Delivered from the event loop, not from inside the stack's callback.
    QMetaObject::invokeMethod(
        q, [q = q, called, calling, callId] { emit q->IncomingCall(called, calling, callId); },
        Qt::QueuedConnection);
}

void SipLine::Impl::onRegister(int status, const char* phrase, nua_handle_t* nh, const sip_t* sip)
{
    if (nh != reg || status < 200)
        return;
    const Registration before = registration;
    if (status == 401 || status == 407) {
        const msg_auth_t* challenge = nullptr;
        if (sip)
            challenge = status == 401
                            ? reinterpret_cast<const msg_auth_t*>(sip->sip_www_authenticate)
                            : reinterpret_cast<const msg_auth_t*>(sip->sip_proxy_authenticate);
        const char* realm = challenge ? msg_params_find(challenge->au_params, "realm=") : nullptr;
        // A challenge right after our credentials means they are wrong, unless
        // the registrar only found the nonce stale.
        const char* stale = challenge ? msg_params_find(challenge->au_params, "stale=") : nullptr;
        const bool retry =
            authTries == 0 || (stale && QByteArray(stale).toLower().contains("true"));
        if (challenge && realm && retry && ++authTries <= 5 && !settings.password.isEmpty()) {
            const QString authUser =
                settings.authUser.isEmpty() ? settings.user : settings.authUser;
            const QByteArray credentials =
                QStringLiteral("%1:%2:%3:%4")
                    .arg(QString::fromUtf8(challenge->au_scheme), QString::fromUtf8(realm),
                         authUser, settings.password)
                    .toUtf8();
            nua_authenticate(nh, NUTAG_AUTH(credentials.constData()), TAG_END());
            return;
        }
        registration = Registration::Failed;
        problem = QStringLiteral("Anmeldung abgelehnt (%1 %2), Benutzer oder Passwort falsch")
                      .arg(status)
                      .arg(QString::fromUtf8(phrase));
    } else if (status >= 300) {
        registration = Registration::Failed;
        problem = QStringLiteral("Registrierung fehlgeschlagen (%1 %2)")
                      .arg(status)
                      .arg(QString::fromUtf8(phrase));
    } else {
        registration = Registration::Registered;
        authTries = 0;
        problem.clear();
        reportedProblem = false;
        retryTimer.stop();
    }
    if (registration == Registration::Failed) {
        reportOnce(err::SocketError,
                   QStringLiteral("SIP-Registrierung bei %1: %2").arg(registrarUri, problem));
        retryTimer.start(RegisterRetryMs);
    }
    if (registration != before)
        emit q->StatusChanged();
}

void SipLine::Impl::expireRingingCalls()
{
    const qint64 limit = qint64(settings.maxRingSec) * 1000;
    for (auto it = calls.begin(); it != calls.end(); ++it) {
        if (!it->answered && it->since.elapsed() > limit) {
            it->answered = true;
            nua_respond(it.key(), SIP_480_TEMPORARILY_UNAVAILABLE, TAG_END());
        }
    }
    if (calls.isEmpty())
        ringTimer.stop();
}

SipLine::SipLine(const Settings& settings, IReporter* reporter, QObject* parent)
    : IPhoneLine(parent), d(std::make_unique<Impl>(this, settings, reporter))
{
    connect(&d->pollTimer, &QTimer::timeout, this, [this] {
        if (d->root)
            su_root_step(d->root, 0);
    });
    d->stopTimer.setSingleShot(true);
    connect(&d->stopTimer, &QTimer::timeout, this, [this] {
        if (!d->wanted) {
            d->destroyStack();
            emit StatusChanged();
        }
    });
    connect(&d->ringTimer, &QTimer::timeout, this, [this] { d->expireRingingCalls(); });
    d->retryTimer.setSingleShot(true);
    connect(&d->retryTimer, &QTimer::timeout, this, [this] { d->registerNow(); });
}

SipLine::~SipLine() = default;

bool SipLine::startCAPI()
{
    d->stopTimer.stop();
    d->wanted = true;
    const bool fresh = !d->nua;
    if (!d->createStack())
        return false;
    // A restart refreshes the registration and keeps the transport and the
    // ringing calls.
    if (d->hasRegistrar() &&
        (fresh || d->stopPending || d->registration == Impl::Registration::Failed))
        d->registerNow();
    d->stopPending = false;
    return d->ready();
}

bool SipLine::lineUp() const
{
    return d->wanted && d->ready();
}

void SipLine::stopCAPI()
{
    d->wanted = false;
    d->stopPending = true;
    d->stopTimer.start(StopGraceMs);
}

QString SipLine::capiVersion() const
{
    return QString::fromLatin1(sofia_sip_name_version);
}

QString SipLine::capiRelease() const
{
    if (!d->nua)
        return d->problem.isEmpty() ? QStringLiteral("gestoppt") : d->problem;
    if (!d->hasRegistrar())
        return QStringLiteral("empfangsbereit auf %1").arg(d->settings.listen);
    switch (d->registration) {
    case Impl::Registration::Registered:
        return QStringLiteral("registriert bei %1").arg(d->registrarUri);
    case Impl::Registration::Failed:
        return d->problem;
    case Impl::Registration::Running:
    case Impl::Registration::None:
        break;
    }
    // While a failed registration is tried again, its reason stays in sight.
    if (!d->problem.isEmpty())
        return d->problem + QStringLiteral(", neuer Versuch läuft");
    return QStringLiteral("Registrierung bei %1 läuft").arg(d->registrarUri);
}

QString SipLine::cardMaker() const
{
    return QStringLiteral("SIP");
}

QString SipLine::serialNumber() const
{
    if (!d->hasRegistrar())
        return d->settings.listen;
    return d->settings.user + u'@' + d->registrarHost;
}

int SipLine::dtmfSupport(qint16)
{
    return 0;
}

bool SipLine::isListening() const
{
    return d->nua != nullptr;
}

bool SipLine::isRegistered() const
{
    return d->registration == Impl::Registration::Registered;
}

int SipLine::ringingCalls() const
{
    return int(d->calls.size());
}

bool SipLine::runsInGlibLoop() const
{
    return d->glib;
}

} // namespace vorsa

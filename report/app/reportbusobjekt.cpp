#include "reportbusobjekt.h"

#include "convert.h"
#include "orvoreport2/clsreport.h"
#include "reportdienst.h"
#include "vberror.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <QDir>
#include <QTimer>
#include <cmath>
#include <limits>

namespace OrvoReport2 {

using vorsa::VbError;

namespace {
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString FehlerName = QStringLiteral("OrvoReport2.Fehler");

VbError typUnvertraeglich()
{
    return VbError::typeMismatch();
}

bool istZahl(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// A value of a variant argument as the report takes it: numbers, Booleans
// and texts; object paths and signatures as text. Containers fail with 13.
QVariant einfacherWert(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
        return v.toInt();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
    case QMetaType::QString:
        return v;
    default:
        if (v.canConvert<QDBusObjectPath>() && v.userType() == qMetaTypeId<QDBusObjectPath>())
            return v.value<QDBusObjectPath>().path();
        if (v.userType() == qMetaTypeId<QDBusSignature>())
            return v.value<QDBusSignature>().signature();
        throw typUnvertraeglich();
    }
}

// A property value to the property's D-Bus type, converted the way the BASIC
// runtime converts between numbers and Booleans.
qint32 alsLong(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? -1 : 0;
    if (!istZahl(v))
        throw typUnvertraeglich();
    if (v.typeId() == QMetaType::Double)
        return vorsa::roundToLong(v.toDouble());
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok || v.typeId() == QMetaType::ULongLong) {
        const qulonglong u = v.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint32>::max()))
            throw VbError::overflow();
        return qint32(u);
    }
    if (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
        throw VbError::overflow();
    return qint32(n);
}

double alsDouble(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? -1 : 0;
    if (!istZahl(v))
        throw typUnvertraeglich();
    return v.toDouble();
}

bool alsBoolean(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (!istZahl(v))
        throw typUnvertraeglich();
    return v.toDouble() != 0;
}

float alsSingle(const QVariant& v)
{
    const double d = alsDouble(v);
    if (std::isfinite(d) && std::abs(d) > double(std::numeric_limits<float>::max()))
        throw VbError::overflow();
    return float(d);
}

QString alsText(const QVariant& v)
{
    if (v.typeId() != QMetaType::QString)
        throw typUnvertraeglich();
    return v.toString();
}
} // namespace

ReportBusObjekt::ReportBusObjekt(ReportDienst& dienst, const Schnittstelle& schnittstelle,
                                 QString pfad, QString erschaffer,
                                 std::unique_ptr<clsReport> report)
    : m_dienst(dienst), m_schnittstelle(schnittstelle), m_pfad(std::move(pfad)),
      m_erschaffer(std::move(erschaffer)), m_report(std::move(report))
{
}

ReportBusObjekt::~ReportBusObjekt() = default;

std::unique_ptr<clsReport> ReportBusObjekt::abgeben()
{
    return std::move(m_report);
}

QString ReportBusObjekt::introspect(const QString&) const
{
    return m_schnittstelle.xml;
}

void ReportBusObjekt::spaeter(std::function<void()> arbeit)
{
    m_warteschlange.append(std::move(arbeit));
    QTimer::singleShot(0, this, [this] { abarbeiten(); });
}

void ReportBusObjekt::abarbeiten()
{
    if (m_laeuft || !m_report)
        return;
    m_laeuft = true;
    while (!m_warteschlange.isEmpty() && m_report) {
        const auto arbeit = m_warteschlange.takeFirst();
        try {
            arbeit();
        } catch (const std::exception&) {
            // The report's own boxes have told the user.
        }
    }
    m_laeuft = false;
    if (m_freigeben) {
        const bool fensterBleibt = *m_freigeben;
        m_freigeben.reset();
        m_dienst.freigeben(this, fensterBleibt);
    }
}

void ReportBusObjekt::freigebenNachher(bool fensterBleibt)
{
    if (!m_freigeben || !fensterBleibt)
        m_freigeben = fensterBleibt;
}

bool ReportBusObjekt::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage || !m_report)
        return false;
    const bool eigenschaft = message.interface() == PropertiesInterface;
    if (!eigenschaft) {
        if (!message.interface().isEmpty() && message.interface() != m_schnittstelle.name)
            return false; // introspection and the like: Qt's own
        if (!m_schnittstelle.methoden.contains(message.member()))
            return false;
    }
    if (m_laeuft) {
        // A call that comes in while queued work runs (its window lets events
        // through) is answered after that work, in its turn.
        m_warteschlange.append([this, message, connection] { bedienen(message, connection); });
        return true;
    }
    bedienen(message, connection);
    return true;
}

void ReportBusObjekt::bedienen(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (!m_report)
        return;
    if (message.interface() == PropertiesInterface) {
        eigenschaften(message, connection);
        return;
    }
    const auto signatur = m_schnittstelle.methoden.constFind(message.member());
    if (message.signature() != *signatur) {
        connection.send(message.createErrorReply(
            QDBusError::InvalidArgs,
            QStringLiteral("%1 erwartet die Argumente \"%2\", nicht \"%3\"")
                .arg(message.member(), *signatur, message.signature())));
        return;
    }
    QDBusMessage antwort;
    try {
        antwort = message.createReply(aufrufen(message.member(), message.arguments()));
    } catch (const VbError& e) {
        antwort = message.createErrorReply(
            FehlerName, QStringLiteral("%1: %2").arg(e.number()).arg(e.description()));
    }
    if (message.isReplyRequired())
        connection.send(antwort);
}

QVariantList ReportBusObjekt::aufrufen(const QString& n, const QVariantList& a)
{
    clsReport& r = *m_report;
    // What shows windows runs after the answer; everything else after what
    // was queued before it.
    if (n == QLatin1String("Show")) {
        spaeter([this] { m_report->Show(); });
        return {};
    }
    if (n == QLatin1String("SeiteAusgeben")) {
        const qint32 seite = a.at(0).toInt();
        spaeter([this, seite] { m_report->SeiteAusgeben(seite); });
        return {true};
    }
    abarbeiten();
    if (n == QLatin1String("AddSeite"))
        return {r.AddSeite()};
    if (n == QLatin1String("AddTextObjekt")) {
        QVariant text;
        try {
            text = einfacherWert(a.at(0).value<QDBusVariant>().variant());
        } catch (const VbError&) {
            return {false};
        }
        return {r.AddTextObjekt(text, a.at(1).toDouble(), a.at(2).toDouble(), a.at(3).toString())};
    }
    if (n == QLatin1String("AddLineObjekt"))
        return {r.AddLineObjekt(a.at(0).toInt(), a.at(1).toDouble(), a.at(2).toDouble(),
                                a.at(3).toDouble(), a.at(4).toDouble(), a.at(5).toInt(),
                                a.at(6).toString(), a.at(7).toString())};
    if (n == QLatin1String("AddBildObjekt"))
        return {r.AddBildObjekt(a.at(0).toString(), a.at(1).toDouble(), a.at(2).toDouble())};
    if (n == QLatin1String("PdfSpeichern")) {
        // This program's working folder is not the caller's: a relative name
        // would put the file where the caller does not look for it.
        const QString pfad = a.at(0).toString();
        return {QDir::isAbsolutePath(pfad) && r.PdfSpeichern(pfad)};
    }
    if (n == QLatin1String("Release")) {
        m_dienst.freigeben(this, false);
        return {};
    }
    throw VbError(vorsa::err::InvalidCall,
                  QStringLiteral("Die Methode %1 gibt es hier nicht").arg(n));
}

QVariant ReportBusObjekt::lesen(const QString& e)
{
    const clsReport& r = *m_report;
    if (e == QLatin1String("Font"))
        return r.Font();
    if (e == QLatin1String("FontBold"))
        return r.FontBold();
    if (e == QLatin1String("FontItalic"))
        return r.FontItalic();
    if (e == QLatin1String("FontSize"))
        return double(r.FontSize());
    if (e == QLatin1String("FontStrikethru"))
        return r.FontStrikethru();
    if (e == QLatin1String("FontUnderline"))
        return r.FontUnderline();
    if (e == QLatin1String("ForeColor"))
        return r.ForeColor();
    if (e == QLatin1String("RechterRand"))
        return r.RechterRand();
    if (e == QLatin1String("UntererRand"))
        return r.UntererRand();
    if (e == QLatin1String("Sichtbar"))
        return r.Sichtbar();
    return {};
}

void ReportBusObjekt::schreiben(const QString& e, const QVariant& v)
{
    clsReport& r = *m_report;
    if (e == QLatin1String("Caption"))
        r.setCaption(alsText(v));
    else if (e == QLatin1String("Font"))
        r.setFont(alsText(v));
    else if (e == QLatin1String("FontBold"))
        r.setFontBold(alsBoolean(v));
    else if (e == QLatin1String("FontItalic"))
        r.setFontItalic(alsBoolean(v));
    else if (e == QLatin1String("FontSize"))
        r.setFontSize(alsSingle(v));
    else if (e == QLatin1String("FontStrikethru"))
        r.setFontStrikethru(alsBoolean(v));
    else if (e == QLatin1String("FontUnderline"))
        r.setFontUnderline(alsBoolean(v));
    else if (e == QLatin1String("ForeColor"))
        r.setForeColor(alsLong(v));
    else if (e == QLatin1String("Copies"))
        r.setCopies(alsLong(v));
    else if (e == QLatin1String("Sorted"))
        r.setSorted(alsBoolean(v));
    else if (e == QLatin1String("Orientation"))
        r.setOrientation(alsLong(v));
    else if (e == QLatin1String("PaperSize"))
        r.setPaperSize(alsLong(v));
    else if (e == QLatin1String("PaperBin"))
        r.setPaperBin(alsLong(v));
    else if (e == QLatin1String("PrinterSelection"))
        r.setPrinterSelection(alsLong(v));
    else if (e == QLatin1String("PrintButtonOn"))
        r.setPrintButtonOn(alsBoolean(v));
    else if (e == QLatin1String("SofortDrucken"))
        r.setSofortDrucken(alsBoolean(v));
}

bool ReportBusObjekt::eigenschaften(const QDBusMessage& message, const QDBusConnection& connection)
{
    const QString member = message.member();
    const QVariantList a = message.arguments();
    const auto fehler = [&](const QString& name, const QString& text) {
        if (message.isReplyRequired())
            connection.send(message.createErrorReply(name, text));
        return true;
    };
    const QString sig = message.signature();
    if (!((member == QLatin1String("Get") && sig == QLatin1String("ss")) ||
          (member == QLatin1String("Set") && sig == QLatin1String("ssv")) ||
          (member == QLatin1String("GetAll") && sig == QLatin1String("s"))))
        return fehler(
            QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
            QStringLiteral("%1.%2 mit \"%3\" gibt es nicht").arg(PropertiesInterface, member, sig));
    const QString iface = a.at(0).toString();
    if (!iface.isEmpty() && iface != m_schnittstelle.name)
        return fehler(QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                      QStringLiteral("Die Schnittstelle %1 gibt es hier nicht").arg(iface));
    abarbeiten();
    QDBusMessage antwort;
    try {
        if (member == QLatin1String("GetAll")) {
            QVariantMap alle;
            for (auto it = m_schnittstelle.eigenschaften.cbegin();
                 it != m_schnittstelle.eigenschaften.cend(); ++it)
                if (it->lesbar)
                    alle.insert(it.key(), lesen(it.key()));
            antwort = message.createReply(QVariant::fromValue(alle));
        } else {
            const QString name = a.at(1).toString();
            const auto e = m_schnittstelle.eigenschaften.constFind(name);
            if (e == m_schnittstelle.eigenschaften.constEnd())
                return fehler(QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
                              QStringLiteral("Die Eigenschaft %1 gibt es nicht").arg(name));
            if (member == QLatin1String("Get")) {
                if (!e->lesbar)
                    return fehler(
                        QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                        QStringLiteral("Die Eigenschaft %1 kann nur geschrieben werden").arg(name));
                antwort = message.createReply(QVariant::fromValue(QDBusVariant(lesen(name))));
            } else {
                if (!e->schreibbar)
                    return fehler(
                        QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"),
                        QStringLiteral("Die Eigenschaft %1 kann nur gelesen werden").arg(name));
                schreiben(name, a.at(2).value<QDBusVariant>().variant());
                antwort = message.createReply();
            }
        }
    } catch (const VbError& e) {
        antwort = message.createErrorReply(
            FehlerName, QStringLiteral("%1: %2").arg(e.number()).arg(e.description()));
    }
    if (message.isReplyRequired())
        connection.send(antwort);
    return true;
}

} // namespace OrvoReport2

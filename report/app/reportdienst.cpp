#include "reportdienst.h"

#include "mdireport.h"
#include "orvoreport2/clsreport.h"
#include "reportbusobjekt.h"

#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QThread>
#include <QTimer>

namespace OrvoReport2 {

const QString ReportDienst::BusName = QStringLiteral("OrvoReport2.clsReport");
const QString ReportDienst::FabrikPfad = QStringLiteral("/OrvoReport2");

namespace {
Schnittstelle reportSchnittstelle()
{
    QFile datei(QStringLiteral(":/dbus/OrvoReport2.clsReport.xml"));
    datei.open(QIODevice::ReadOnly);
    return Schnittstelle::lesen(QString::fromUtf8(datei.readAll()));
}

// Deletes a report once no message box or dialog runs its own event loop,
// so that no window is deleted beneath a handler that waits for one.
void loeschenWennRuhig(clsReport* report)
{
    if (QThread::currentThread()->loopLevel() > 1) {
        QTimer::singleShot(100, [report] { loeschenWennRuhig(report); });
        return;
    }
    delete report;
}
} // namespace

ReportDienst::ReportDienst(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus), m_schnittstelle(reportSchnittstelle()),
      m_waechter(new QDBusServiceWatcher(this))
{
    m_waechter->setConnection(m_bus);
    m_waechter->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(m_waechter, &QDBusServiceWatcher::serviceUnregistered, this,
            &ReportDienst::erschafferWeg);
}

ReportDienst::~ReportDienst()
{
    for (ReportBusObjekt* o : std::as_const(m_reports)) {
        m_bus.unregisterObject(o->pfad());
        delete o;
    }
    qDeleteAll(m_verwaist);
}

bool ReportDienst::starten(QString* fehler)
{
    if (m_schnittstelle.name.isEmpty()) {
        *fehler = QStringLiteral("Die Beschreibung der Schnittstelle fehlt im Programm");
        return false;
    }
    if (!m_bus.registerObject(FabrikPfad, this, QDBusConnection::ExportScriptableSlots)) {
        *fehler = QStringLiteral("Das Objekt %1 ist schon vergeben").arg(FabrikPfad);
        return false;
    }
    const auto antwort =
        m_bus.interface()->registerService(BusName, QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!antwort.isValid() || antwort.value() != QDBusConnectionInterface::ServiceRegistered) {
        *fehler =
            antwort.isValid()
                ? QStringLiteral("Der Name %1 gehört schon einem anderen Programm").arg(BusName)
                : antwort.error().message();
        m_bus.unregisterObject(FabrikPfad);
        return false;
    }
    return true;
}

QDBusObjectPath ReportDienst::Create()
{
    const QString pfad = FabrikPfad + QStringLiteral("/Report") + QString::number(m_naechsteNr++);
    const QString erschaffer = calledFromDBus() ? message().service() : QString();
    auto* objekt = new ReportBusObjekt(*this, m_schnittstelle, pfad, erschaffer,
                                       std::make_unique<clsReport>());
    if (!m_bus.registerVirtualObject(pfad, objekt)) {
        delete objekt;
        if (calledFromDBus())
            sendErrorReply(QDBusError::Failed,
                           QStringLiteral("Der Bericht %1 kann nicht angemeldet werden").arg(pfad));
        return {};
    }
    m_reports.insert(pfad, objekt);
    if (!erschaffer.isEmpty() && !m_waechter->watchedServices().contains(erschaffer)) {
        m_waechter->addWatchedService(erschaffer);
        // Gone before we watched: ended at once.
        if (!m_bus.interface()->isServiceRegistered(erschaffer))
            QTimer::singleShot(0, this, [this, erschaffer] { erschafferWeg(erschaffer); });
    }
    emit belegt();
    return QDBusObjectPath(pfad);
}

void ReportDienst::freigeben(ReportBusObjekt* objekt, bool fensterBleibt)
{
    if (!m_reports.contains(objekt->pfad()))
        return;
    objekt->abarbeiten();
    if (objekt->beschaeftigt()) {
        // Called from within its own work (a message box of a print run, say).
        objekt->freigebenNachher(fensterBleibt);
        return;
    }
    m_reports.remove(objekt->pfad());
    m_bus.unregisterObject(objekt->pfad());
    std::unique_ptr<clsReport> report = objekt->abgeben();
    const QString erschaffer = objekt->erschaffer();
    objekt->deleteLater();
    if (fensterBleibt && report->Sichtbar()) {
        clsReport* offen = report.release();
        m_verwaist.append(offen);
        connect(offen, &clsReport::Geschlossen, this,
                [this, offen] { verwaistGeschlossen(offen); });
    } else {
        report->Vorschau()->close(); // keeps its placement
        loeschenWennRuhig(report.release());
    }
    bool nochWelche = false;
    for (const ReportBusObjekt* o : std::as_const(m_reports))
        nochWelche = nochWelche || o->erschaffer() == erschaffer;
    if (!nochWelche && !erschaffer.isEmpty())
        m_waechter->removeWatchedService(erschaffer);
    if (anzahl() == 0)
        emit leer();
}

void ReportDienst::erschafferWeg(const QString& dienst)
{
    const auto alle = m_reports.values();
    for (ReportBusObjekt* o : alle)
        if (o->erschaffer() == dienst)
            freigeben(o, true);
}

void ReportDienst::verwaistGeschlossen(clsReport* report)
{
    if (!m_verwaist.removeOne(report))
        return;
    disconnect(report, nullptr, this, nullptr);
    loeschenWennRuhig(report);
    if (anzahl() == 0)
        emit leer();
}

} // namespace OrvoReport2

#pragma once

#include "schnittstelle.h"

#include <QDBusVirtualObject>
#include <QList>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

namespace OrvoReport2 {

class clsReport;
class ReportDienst;

// One report on the bus: answers the calls of the interface
// OrvoReport2.clsReport and its properties at its object path.
//
// Show and SeiteAusgeben answer at once and run afterwards, in the order of
// the calls: they are queued and the queue is worked off when the event loop
// comes back, or before any later call of the same report is served.
class ReportBusObjekt : public QDBusVirtualObject {
    Q_OBJECT
public:
    ReportBusObjekt(ReportDienst& dienst, const Schnittstelle& schnittstelle, QString pfad,
                    QString erschaffer, std::unique_ptr<clsReport> report);
    ~ReportBusObjekt() override;

    QString pfad() const { return m_pfad; }
    QString erschaffer() const { return m_erschaffer; }
    clsReport& report() { return *m_report; }
    // Hands the report over (to keep an open window after the object left the bus).
    std::unique_ptr<clsReport> abgeben();

    // Works off what is queued (not when called from within that work).
    void abarbeiten();
    bool beschaeftigt() const { return m_laeuft; }
    // Asks the service to end the report once the queued work is done.
    void freigebenNachher(bool fensterBleibt);

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

private:
    void bedienen(const QDBusMessage& message, const QDBusConnection& connection);
    QVariantList aufrufen(const QString& methode, const QVariantList& argumente);
    QVariant lesen(const QString& eigenschaft);
    void schreiben(const QString& eigenschaft, const QVariant& wert);
    bool eigenschaften(const QDBusMessage& message, const QDBusConnection& connection);
    void spaeter(std::function<void()> arbeit);

    ReportDienst& m_dienst;
    const Schnittstelle& m_schnittstelle;
    QString m_pfad;
    QString m_erschaffer;
    std::unique_ptr<clsReport> m_report;
    QList<std::function<void()>> m_warteschlange;
    bool m_laeuft = false;
    std::optional<bool> m_freigeben; // end after the work; value: window may stay
};

} // namespace OrvoReport2

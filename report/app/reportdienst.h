#pragma once

#include "schnittstelle.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>
#include <memory>

class QDBusServiceWatcher;

namespace OrvoReport2 {

class clsReport;
class ReportBusObjekt;

// The program's service on the session bus: the bus name
// OrvoReport2.clsReport and the factory at /OrvoReport2 that makes reports
// at /OrvoReport2/Report1, /OrvoReport2/Report2, ... A report ends with its
// Release or when its creator leaves the bus; a preview window that is open
// then stays until the user closes it.
class ReportDienst : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "OrvoReport2.Factory")
public:
    static const QString BusName;    // "OrvoReport2.clsReport"
    static const QString FabrikPfad; // "/OrvoReport2"

    explicit ReportDienst(const QDBusConnection& bus, QObject* parent = nullptr);
    ~ReportDienst() override;

    // Exports the factory and takes the bus name; false with *fehler when the
    // name is taken or the bus refuses.
    bool starten(QString* fehler);

    // Reports on the bus and reports whose window is still open.
    int anzahl() const { return int(m_reports.size() + m_verwaist.size()); }

    // Ends a report now: off the bus, its window closed (Release) or, when
    // the window is open and fensterBleibt, left open until it is closed.
    void freigeben(ReportBusObjekt* objekt, bool fensterBleibt);

public slots:
    Q_SCRIPTABLE QDBusObjectPath Create();

signals:
    // No report and no window is left.
    void leer();
    // A report was made.
    void belegt();

private:
    void erschafferWeg(const QString& dienst);
    void verwaistGeschlossen(clsReport* report);

    QDBusConnection m_bus;
    Schnittstelle m_schnittstelle;
    QDBusServiceWatcher* m_waechter;
    QMap<QString, ReportBusObjekt*> m_reports; // by path
    QList<clsReport*> m_verwaist;              // off the bus, window still open
    quint64 m_naechsteNr = 1;
};

} // namespace OrvoReport2

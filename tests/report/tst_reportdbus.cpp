// The report program on a private session bus: started by the bus, reports
// made, filled, released, and released when their creator leaves.
#include "privatebus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {
const QString Dienst = QStringLiteral("OrvoReport2.clsReport");
const QString Schnittstelle = QStringLiteral("OrvoReport2.clsReport");
const QString Eigenschaften = QStringLiteral("org.freedesktop.DBus.Properties");

QDBusMessage rufen(const QDBusConnection& bus, const QString& pfad, const QString& iface,
                   const QString& methode, const QVariantList& argumente = {})
{
    auto m = QDBusMessage::createMethodCall(Dienst, pfad, iface, methode);
    m.setArguments(argumente);
    return bus.call(m, QDBus::Block, 20000);
}

QDBusMessage report(const QString& pfad, const QString& methode, const QVariantList& a = {})
{
    return rufen(QDBusConnection::sessionBus(), pfad, Schnittstelle, methode, a);
}

QVariant antwort(const QDBusMessage& m)
{
    if (m.type() != QDBusMessage::ReplyMessage)
        qWarning() << m.errorName() << m.errorMessage();
    return m.arguments().value(0);
}

QDBusMessage lesen(const QString& pfad, const QString& name)
{
    return rufen(QDBusConnection::sessionBus(), pfad, Eigenschaften, QStringLiteral("Get"),
                 {Schnittstelle, name});
}

QDBusMessage schreiben(const QString& pfad, const QString& name, const QVariant& wert)
{
    return rufen(QDBusConnection::sessionBus(), pfad, Eigenschaften, QStringLiteral("Set"),
                 {Schnittstelle, name, QVariant::fromValue(QDBusVariant(wert))});
}

QVariant wert(const QDBusMessage& m)
{
    return antwort(m).value<QDBusVariant>().variant();
}

QString erschaffen(const QDBusConnection& bus = QDBusConnection::sessionBus())
{
    const QDBusMessage m = rufen(bus, QStringLiteral("/OrvoReport2"),
                                 QStringLiteral("OrvoReport2.Factory"), QStringLiteral("Create"));
    return antwort(m).value<QDBusObjectPath>().path();
}

// The reports the factory lists as its children.
QStringList berichte()
{
    const QDBusMessage m =
        rufen(QDBusConnection::sessionBus(), QStringLiteral("/OrvoReport2"),
              QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
    QStringList namen;
    static const QRegularExpression knoten(QStringLiteral("<node name=\"(Report\\d+)\"/>"));
    for (const auto& treffer : knoten.globalMatch(antwort(m).toString()))
        namen << QStringLiteral("/OrvoReport2/") + treffer.captured(1);
    return namen;
}

QVariant text(const QString& s)
{
    return QVariant::fromValue(QDBusVariant(s));
}
} // namespace

class ReportDBusTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void reportsAreMadeFilledAndReleased();
    void propertiesKeepTheirAccessAndReportErrors();
    void callsWithWrongArgumentsAreRefused();
    void showAnswersAtOnceAndRunsBeforeTheCallsAfterIt();
    void pdfIsWrittenOnlyWhereTheCallerSaysExactly();
    void reportsOfACreatorThatLeavesAreReleased();
    void theInstalledInterfaceIsTheOneServed();
    void pythonExampleMakesItsReport();
    void placementThatCannotBeReadDoesNotHoldUpTheCaller();
    void cleanupTestCase();

private:
    QTemporaryDir m_dir;
};

void ReportDBusTest::initTestCase()
{
    if (!vorsa::test::privaterBus())
        QSKIP("dbus-run-session ist nicht installiert");
    // The bus starts the program with this environment: no printer, the
    // placement in the test's folder, no screen.
    const QMap<QString, QString> umgebung{
        {QStringLiteral("CUPS_SERVER"), QStringLiteral("/nonexistent/vorsa-test-no-cups.sock")},
        {QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config"))},
        {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}};
    qDBusRegisterMetaType<QMap<QString, QString>>();
    auto m = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
    m.setArguments({QVariant::fromValue(umgebung)});
    QCOMPARE(QDBusConnection::sessionBus().call(m).type(), QDBusMessage::ReplyMessage);
}

void ReportDBusTest::reportsAreMadeFilledAndReleased()
{
    const QString a = erschaffen();
    const QString b = erschaffen();
    QVERIFY(a.startsWith(QStringLiteral("/OrvoReport2/Report")));
    QVERIFY(a != b);
    QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(Dienst));

    QCOMPARE(antwort(report(a, "AddTextObjekt", {text("zu früh"), 1.0, 1.0, "L"})),
             QVariant(false));
    QCOMPARE(antwort(report(a, "AddSeite")), QVariant(true));
    QCOMPARE(antwort(report(a, "AddTextObjekt", {text("Hallo"), 1.0, 1.0, "L"})), QVariant(true));
    QCOMPARE(antwort(report(a, "AddTextObjekt",
                            {QVariant::fromValue(QDBusVariant(12.5)), 2.0, 5.0, "R"})),
             QVariant(true));
    QCOMPARE(antwort(report(a, "AddLineObjekt", {2, 3.0, 1.0, 3.0, 18.0, 0x0000FF, "", ""})),
             QVariant(true));
    QCOMPARE(antwort(report(a, "AddBildObjekt", {"/nonexistent/logo.png", 4.0, 1.0})),
             QVariant(true));
    QCOMPARE(antwort(report(b, "AddSeite")), QVariant(true));

    QCOMPARE(antwort(schreiben(a, "Caption", "Liste")).isValid(), false);
    QCOMPARE(schreiben(a, "FontBold", true).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(wert(lesen(a, "FontBold")), QVariant(true));
    QCOMPARE(wert(lesen(b, "FontBold")), QVariant(false)); // each report its own font
    // No printer here: an A4 page with margins of 10 points.
    QCOMPARE(wert(lesen(a, "RechterRand")).toDouble(), 20.29);
    QCOMPARE(wert(lesen(a, "UntererRand")).toDouble(), 28.99);
    // A page that does not exist: true all the same.
    QCOMPARE(antwort(report(a, "SeiteAusgeben", {99})), QVariant(true));
    QCOMPARE(antwort(report(a, "SeiteAusgeben", {1})), QVariant(true));

    QVERIFY(berichte().contains(a));
    QCOMPARE(report(a, "Release").type(), QDBusMessage::ReplyMessage);
    QVERIFY(!berichte().contains(a));
    QVERIFY(berichte().contains(b));
    QCOMPARE(report(a, "AddSeite").type(), QDBusMessage::ErrorMessage);
    QCOMPARE(antwort(report(b, "AddSeite")), QVariant(true));
    QCOMPARE(report(b, "Release").type(), QDBusMessage::ReplyMessage);
}

void ReportDBusTest::propertiesKeepTheirAccessAndReportErrors()
{
    const QString r = erschaffen();
    QDBusMessage m = lesen(r, "Caption");
    QCOMPARE(m.type(), QDBusMessage::ErrorMessage);
    QVERIFY(m.errorMessage().contains(QStringLiteral("nur geschrieben")));
    m = schreiben(r, "RechterRand", 3.0);
    QCOMPARE(m.errorName(), QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"));
    m = schreiben(r, "PrinterSelection", -1);
    QCOMPARE(m.errorName(), QStringLiteral("OrvoReport2.Fehler"));
    QCOMPARE(m.errorMessage(), QStringLiteral("9: Index außerhalb des gültigen Bereichs"));
    m = schreiben(r, "FontSize", QStringLiteral("zwölf"));
    QCOMPARE(m.errorMessage(), QStringLiteral("13: Typ unverträglich"));
    m = schreiben(r, "ForeColor", 5e12);
    QCOMPARE(m.errorMessage(), QStringLiteral("6: Überlauf"));
    m = lesen(r, "Gibtsnicht");
    QCOMPARE(m.errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"));

    // Numbers of any D-Bus type are taken where they fit.
    QCOMPARE(schreiben(r, "FontSize", 9).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(wert(lesen(r, "FontSize")).toDouble(), 9.0);
    QCOMPARE(schreiben(r, "ForeColor", 255.0).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(wert(lesen(r, "ForeColor")).toInt(), 255);

    const QDBusMessage alle = rufen(QDBusConnection::sessionBus(), r, Eigenschaften,
                                    QStringLiteral("GetAll"), {Schnittstelle});
    const QVariantMap karte = qdbus_cast<QVariantMap>(antwort(alle));
    QCOMPARE(karte.value(QStringLiteral("Font")).toString(), QStringLiteral("Arial"));
    QVERIFY(karte.contains(QStringLiteral("Sichtbar")));
    QVERIFY(!karte.contains(QStringLiteral("Caption")));
    QVERIFY(!karte.contains(QStringLiteral("Copies")));
    report(r, "Release");
}

void ReportDBusTest::callsWithWrongArgumentsAreRefused()
{
    const QString r = erschaffen();
    // The optional alignment is passed over D-Bus too.
    QDBusMessage m = report(r, "AddTextObjekt", {text("x"), 1.0, 1.0});
    QCOMPARE(m.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
    m = report(r, "SeiteAusgeben", {QStringLiteral("1")});
    QCOMPARE(m.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
    // A text that is a container is not a value to print.
    report(r, "AddSeite");
    m = report(r, "AddTextObjekt",
               {QVariant::fromValue(QDBusVariant(QVariant::fromValue(QStringList{"a", "b"}))), 1.0,
                1.0, "L"});
    QCOMPARE(antwort(m), QVariant(false));
    report(r, "Release");
}

void ReportDBusTest::showAnswersAtOnceAndRunsBeforeTheCallsAfterIt()
{
    const QString r = erschaffen();
    report(r, "AddSeite");
    report(r, "AddTextObjekt", {text("Seite 1"), 1.0, 1.0, "L"});
    QCOMPARE(wert(lesen(r, "Sichtbar")), QVariant(false));
    QCOMPARE(report(r, "Show").type(), QDBusMessage::ReplyMessage);
    QCOMPARE(antwort(report(r, "SeiteAusgeben", {1})), QVariant(true));
    QCOMPARE(wert(lesen(r, "Sichtbar")), QVariant(true));
    report(r, "Release");
}

void ReportDBusTest::pdfIsWrittenOnlyWhereTheCallerSaysExactly()
{
    // The program does not run in the caller's folder: a relative name would
    // put the file where the caller never looks.
    const QString r = erschaffen();
    report(r, "AddSeite");
    report(r, "AddTextObjekt", {text("PDF"), 1.0, 1.0, "L"});
    QCOMPARE(antwort(report(r, "PdfSpeichern", {QStringLiteral("relativ.pdf")})), QVariant(false));
    const QString pfad = m_dir.filePath(QStringLiteral("absolut.pdf"));
    QCOMPARE(antwort(report(r, "PdfSpeichern", {pfad})), QVariant(true));
    QVERIFY(QFile::exists(pfad));
    report(r, "Release");
}

void ReportDBusTest::reportsOfACreatorThatLeavesAreReleased()
{
    const QString name = QStringLiteral("zweiter-client");
    QString still, offen;
    {
        QDBusConnection zweiter = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        QVERIFY(zweiter.isConnected());
        still = erschaffen(zweiter);
        offen = erschaffen(zweiter);
        rufen(zweiter, offen, Schnittstelle, QStringLiteral("AddSeite"));
        rufen(zweiter, offen, Schnittstelle, QStringLiteral("AddTextObjekt"),
              {text("bleibt offen"), 1.0, 1.0, "L"});
        rufen(zweiter, offen, Schnittstelle, QStringLiteral("Show"));
        QVERIFY(berichte().contains(still));
        QVERIFY(berichte().contains(offen));
    }
    QDBusConnection::disconnectFromBus(name);
    // Both leave the bus; the open window stays on the screen until closed.
    QTRY_VERIFY(!berichte().contains(still));
    QTRY_VERIFY(!berichte().contains(offen));
    QCOMPARE(report(still, "AddSeite").type(), QDBusMessage::ErrorMessage);
    // The program still serves others.
    const QString r = erschaffen();
    QVERIFY(!r.isEmpty());
    report(r, "Release");
}

void ReportDBusTest::theInstalledInterfaceIsTheOneServed()
{
    QFile datei(qEnvironmentVariable("VORSA_SOURCE_DIR") +
                QStringLiteral("/report/dbus/OrvoReport2.clsReport.xml"));
    QVERIFY(datei.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(datei.readAll());
    const QString block = xml.mid(xml.indexOf(QStringLiteral("<interface")),
                                  xml.indexOf(QStringLiteral("</interface>")) + 12 -
                                      xml.indexOf(QStringLiteral("<interface")));
    const QString r = erschaffen();
    const QDBusMessage m =
        rufen(QDBusConnection::sessionBus(), r,
              QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
    QVERIFY(antwort(m).toString().contains(block));
    QVERIFY(
        block.contains(QStringLiteral("<property name=\"Caption\" type=\"s\" access=\"write\"/>")));
    // Qt's own view of it finds the methods.
    QDBusInterface iface(Dienst, r, Schnittstelle);
    QVERIFY(iface.isValid());
    QCOMPARE(QDBusReply<bool>(iface.call(QStringLiteral("AddSeite"))).value(), true);
    report(r, "Release");
}

void ReportDBusTest::pythonExampleMakesItsReport()
{
    QProcess probe;
    probe.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"), QStringLiteral("import dbus")});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
        QSKIP("python3-dbus ist nicht installiert");
    const QStringList vorher = berichte();
    QProcess beispiel;
    beispiel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    beispiel.start(
        QStringLiteral("/usr/bin/python3"),
        {qEnvironmentVariable("VORSA_SOURCE_DIR") + QStringLiteral("/report/examples/bericht.py")});
    QVERIFY(beispiel.waitForFinished(60000));
    QCOMPARE(beispiel.exitCode(), 0);
    // Its report left the bus with the script; the preview stays open.
    QTRY_COMPARE(berichte(), vorher);
}

void ReportDBusTest::placementThatCannotBeReadDoesNotHoldUpTheCaller()
{
    // The preview's box about it waits for a user; the script does not.
    const QString conf = m_dir.filePath(QStringLiteral("config/OrvoReport2.conf"));
    QFile alt(conf);
    QVERIFY(alt.open(QIODevice::ReadOnly));
    const QByteArray vorher = alt.readAll();
    alt.close();
    {
        QSettings s(conf, QSettings::IniFormat);
        s.setValue(QStringLiteral("Settings/mdiReportMax"), QStringLiteral("kaputt"));
    }
    QElapsedTimer uhr;
    uhr.start();
    const QString r = erschaffen();
    QVERIFY(!r.isEmpty());
    QCOMPARE(antwort(report(r, "AddSeite")), QVariant(true));
    QVERIFY2(uhr.elapsed() < 5000, qPrintable(QString::number(uhr.elapsed())));
    report(r, "Release");
    QVERIFY(alt.open(QIODevice::WriteOnly | QIODevice::Truncate));
    alt.write(vorher);
}

void ReportDBusTest::cleanupTestCase()
{
    if (!vorsa::test::privaterBus())
        return;
    // The previews left open keep their placement in the test's folder when
    // the program ends: it ends now, while that folder is still there.
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    const QDBusReply<uint> pid = bus->servicePid(Dienst);
    QVERIFY(pid.isValid());
    QCOMPARE(::kill(pid_t(pid.value()), SIGTERM), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!bus->isServiceRegistered(Dienst), 15000);
    QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("config/OrvoReport2.conf"))));
}

int main(int argc, char** argv)
{
    vorsa::test::aufPrivatemBus(argc, argv);
    QCoreApplication app(argc, argv);
    ReportDBusTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_reportdbus.moc"

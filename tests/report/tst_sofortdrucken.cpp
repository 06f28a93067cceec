// Immediate printing from a script over D-Bus, on a private bus and a
// private CUPS daemon: the pages reach the queue, the preview is gone, and
// the PDF the report writes holds the same pages.
#include "cupsdaemon.h"
#include "pdfwerkzeug.h"
#include "privatebus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using vorsa::test::CupsDaemon;

namespace {
const QString Dienst = QStringLiteral("OrvoReport2.clsReport");
const QString Schnittstelle = QStringLiteral("OrvoReport2.clsReport");

QDBusMessage rufen(const QString& pfad, const QString& iface, const QString& methode,
                   const QVariantList& argumente = {})
{
    auto m = QDBusMessage::createMethodCall(Dienst, pfad, iface, methode);
    m.setArguments(argumente);
    return QDBusConnection::sessionBus().call(m, QDBus::Block, 60000);
}

QVariant ergebnis(const QDBusMessage& m)
{
    if (m.type() != QDBusMessage::ReplyMessage)
        qWarning() << m.errorName() << m.errorMessage();
    return m.arguments().value(0);
}

QVariant report(const QString& pfad, const QString& methode, const QVariantList& a = {})
{
    return ergebnis(rufen(pfad, Schnittstelle, methode, a));
}

void setzen(const QString& pfad, const QString& name, const QVariant& wert)
{
    ergebnis(rufen(pfad, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                   {Schnittstelle, name, QVariant::fromValue(QDBusVariant(wert))}));
}

QVariant lesen(const QString& pfad, const QString& name)
{
    return ergebnis(rufen(pfad, QStringLiteral("org.freedesktop.DBus.Properties"),
                          QStringLiteral("Get"), {Schnittstelle, name}))
        .value<QDBusVariant>()
        .variant();
}
} // namespace

class SofortDruckenTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { m_cups.reset(); }
    void scriptPrintsAtOnceAndThePreviewCloses();
    void pythonExamplePrintsAndWritesItsPdf();

private:
    std::unique_ptr<CupsDaemon> m_cups;
    QTemporaryDir m_dir;
};

void SofortDruckenTest::initTestCase()
{
    if (!vorsa::test::privaterBus())
        QSKIP("dbus-run-session ist nicht installiert");
    m_cups = std::make_unique<CupsDaemon>();
    if (!m_cups->available())
        QSKIP(qPrintable(m_cups->reason()));
    qDBusRegisterMetaType<QMap<QString, QString>>();
    const QMap<QString, QString> umgebung{
        {QStringLiteral("CUPS_SERVER"), m_cups->socket()},
        {QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config"))},
        {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}};
    auto m = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
    m.setArguments({QVariant::fromValue(umgebung)});
    QCOMPARE(QDBusConnection::sessionBus().call(m).type(), QDBusMessage::ReplyMessage);
}

void SofortDruckenTest::scriptPrintsAtOnceAndThePreviewCloses()
{
    const QString r =
        ergebnis(rufen(QStringLiteral("/OrvoReport2"), QStringLiteral("OrvoReport2.Factory"),
                       QStringLiteral("Create")))
            .value<QDBusObjectPath>()
            .path();
    QVERIFY(!r.isEmpty());
    for (int i = 1; i <= 3; ++i) {
        QCOMPARE(report(r, "AddSeite"), QVariant(true));
        QCOMPARE(report(r, "AddTextObjekt",
                        {QVariant::fromValue(QDBusVariant(QStringLiteral("Seite %1").arg(i))), 1.0,
                         1.0, QStringLiteral("L")}),
                 QVariant(true));
    }
    setzen(r, "Caption", QStringLiteral("Sofort"));
    setzen(r, "Copies", 2);
    setzen(r, "Sorted", true);
    report(r, "Show");
    setzen(r, "SofortDrucken", true);
    QCOMPARE(report(r, "SeiteAusgeben", {1}), QVariant(true));
    // Asked after it, the window is gone: the printing ran before the answer.
    QCOMPARE(lesen(r, "Sichtbar"), QVariant(false));
    const QStringList pdfs = m_cups->neuePdfs(0, 1);
    QCOMPARE(pdfs.size(), 1);
    const QStringList seiten{"Seite 1", "Seite 2", "Seite 3"};
    QCOMPARE(reporttest::seitenTexte(pdfs.at(0)), seiten + seiten);

    const QString pdf = m_dir.filePath(QStringLiteral("sofort.pdf"));
    QCOMPARE(report(r, "PdfSpeichern", {pdf}), QVariant(true));
    QCOMPARE(reporttest::seitenTexte(pdf), seiten);
    QCOMPARE(report(r, "PdfSpeichern", {m_dir.filePath(QStringLiteral("nicht/da.pdf"))}),
             QVariant(false));
    report(r, "Release");
}

void SofortDruckenTest::pythonExamplePrintsAndWritesItsPdf()
{
    QProcess probe;
    probe.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"), QStringLiteral("import dbus")});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
        QSKIP("python3-dbus ist nicht installiert");
    const QString beispiel =
        qEnvironmentVariable("VORSA_SOURCE_DIR") + QStringLiteral("/report/examples/bericht.py");
    const QString pdf = m_dir.filePath(QStringLiteral("beispiel.pdf"));
    QProcess skript;
    skript.setProcessChannelMode(QProcess::ForwardedChannels);
    skript.start(QStringLiteral("/usr/bin/python3"),
                 {beispiel, QStringLiteral("--pdf"), pdf, QStringLiteral("--sofort")});
    QVERIFY(skript.waitForFinished(60000));
    QCOMPARE(skript.exitCode(), 0);
    QCOMPARE(reporttest::seitenzahl(pdf), 2);
    const QStringList pdfs = m_cups->neuePdfs(0, 1);
    QCOMPARE(pdfs.size(), 1);
    QCOMPARE(reporttest::seitenTexte(pdfs.at(0)), reporttest::seitenTexte(pdf));
    QVERIFY(reporttest::seitenTexte(pdf).at(1).contains(QStringLiteral("Seite 2 von 2")));
}

int main(int argc, char** argv)
{
    vorsa::test::aufPrivatemBus(argc, argv);
    QCoreApplication app(argc, argv);
    SofortDruckenTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_sofortdrucken.moc"

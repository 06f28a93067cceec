// A C++ host that links the shared library and knows only its public header.
#include <orvoreport2/clsreport.h>

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTest>

using OrvoReport2::clsReport;

class HostTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .removeRecursively();
    }
    void hostFillsAndShowsAReport();
    void settingsThatFailThrowAStandardException();
    void membersAreReachableByName();
};

void HostTest::hostFillsAndShowsAReport()
{
    clsReport report;
    QVERIFY(!report.AddTextObjekt(QStringLiteral("vor der Seite"), 1, 1));
    QVERIFY(report.AddSeite());
    QVERIFY(report.AddTextObjekt(QStringLiteral("Seite 1"), 1, 1));
    QVERIFY(report.AddLineObjekt(1, 2, 1, 2, report.RechterRand() - 1));
    QCOMPARE(report.RechterRand(), 20.29); // no printer: A4
    report.setCaption(QStringLiteral("Liste"));
    report.Show();
    QVERIFY(report.Sichtbar());
    QVERIFY(report.SeiteAusgeben());
}

void HostTest::settingsThatFailThrowAStandardException()
{
    clsReport report;
    try {
        report.setPrinterSelection(-1);
        QFAIL("taken");
    } catch (const std::exception& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("9: Index außerhalb des gültigen Bereichs"));
    }
}

void HostTest::membersAreReachableByName()
{
    // What a host that knows only the names does: properties and methods
    // through Qt's meta-object system.
    clsReport report;
    QObject* o = &report;
    QVERIFY(o->setProperty("FontBold", true));
    QCOMPARE(report.FontBold(), true);
    QCOMPARE(o->property("Font").toString(), QStringLiteral("Arial"));
    bool ok = false;
    QVERIFY(QMetaObject::invokeMethod(o, "AddSeite", Q_RETURN_ARG(bool, ok)));
    QVERIFY(ok);
    QVERIFY(QMetaObject::invokeMethod(o, "AddTextObjekt", Q_RETURN_ARG(bool, ok),
                                      Q_ARG(QVariant, QStringLiteral("x")), Q_ARG(double, 1),
                                      Q_ARG(double, 2), Q_ARG(QString, QStringLiteral("C"))));
    QVERIFY(ok);
    QVERIFY(o->property("UntererRand").toDouble() > 28);
}

int main(int argc, char** argv)
{
    qputenv("CUPS_SERVER", "/nonexistent/vorsa-test-no-cups.sock");
    QApplication app(argc, argv);
    HostTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_host.moc"

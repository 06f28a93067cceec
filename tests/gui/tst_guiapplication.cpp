// German texts of Qt's own dialogs, and both window programs started where no
// display is.
#include "gui/guiapplication.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;

class TestGuiApplication : public QObject {
    Q_OBJECT

    static QString buildPath(const QString& relative)
    {
        return QDir(qEnvironmentVariable("VORSA_BUILD_DIR")).filePath(relative);
    }

private slots:
    void standardButtonsAreGerman()
    {
        QVERIFY2(installGermanTranslations(*qApp), "qt6-translations-l10n is not installed");
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Yes | QDialogButtonBox::No);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(box.button(QDialogButtonBox::Yes)->text(), QStringLiteral("&Ja"));
        QCOMPARE(box.button(QDialogButtonBox::No)->text(), QStringLiteral("&Nein"));
    }

    void withoutDisplayTheProgramsSaySoInGerman_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("hint");
        QTest::newRow("server") << "server/VorsaSrv"
                                << "--headless";
        QTest::newRow("client") << "client/VorsaCl" << QString();
        QTest::newRow("report") << "report/app/OrvoReport2" << QString();
        QTest::newRow("customers") << "examples/kundenstamm/Kundenstamm" << QString();
    }
    void withoutDisplayTheProgramsSaySoInGerman()
    {
        QFETCH(QString, program);
        QFETCH(QString, hint);
        if (!QFileInfo(buildPath(program)).isExecutable())
            QSKIP(qPrintable(program + QStringLiteral(" is not built")));
        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(buildPath(program), {QStringLiteral("--dir"), dir.path()});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit); // no abort
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("keine grafische Anzeige verfügbar")),
                 qPrintable(err));
        QVERIFY2(!err.contains(QStringLiteral("qt.qpa")), qPrintable(err));
        if (!hint.isEmpty())
            QVERIFY2(err.contains(hint), qPrintable(err));
        // Nothing was started: no settings written.
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }
};

QTEST_MAIN(TestGuiApplication)
#include "tst_guiapplication.moc"

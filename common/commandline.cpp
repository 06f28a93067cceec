#include "commandline.h"

#include "translations.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace vorsa {

QString versionNumber()
{
    return QStringLiteral("%1.%2.%3")
        .arg(VORSA_VERSION_MAJOR)
        .arg(VORSA_VERSION_MINOR)
        .arg(VORSA_VERSION_REVISION);
}

void setUpCommandLine(QCommandLineParser& parser, const QString& name, const QString& description)
{
    QCoreApplication::setApplicationName(name);
    QCoreApplication::setApplicationVersion(versionNumber());
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addVersionOption();
}

void answerHelpAndVersion(int argc, char** argv,
                          const std::function<void(QCommandLineParser&)>& setUp)
{
    static const QStringList asked = {QStringLiteral("-h"), QStringLiteral("--help"),
                                      QStringLiteral("-?"), QStringLiteral("--help-all"),
                                      QStringLiteral("-v"), QStringLiteral("--version")};
    bool answer = false;
    for (int i = 1; i < argc && !answer; ++i)
        answer = asked.contains(QString::fromLocal8Bit(argv[i]));
    if (!answer)
        return;
    // A plain application object is enough to print; process() ends the program.
    QCoreApplication app(argc, argv);
    installGermanTranslations(app);
    QCommandLineParser parser;
    setUp(parser);
    parser.process(app);
}

} // namespace vorsa

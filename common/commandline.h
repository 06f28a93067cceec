#pragma once

#include <QString>
#include <functional>

class QCommandLineParser;

namespace vorsa {

// The version of the programs as their command line shows it: major.minor.revision.
QString versionNumber();

// The command line of every program of the family: its name and version on
// the application, the description, --help and --version.
void setUpCommandLine(QCommandLineParser& parser, const QString& name, const QString& description);

// For programs that look at their command line before their application
// object exists (a window program checks for a display first): answers
// --help and --version at once, in German, with a parser that `setUp`
// prepares, and ends the program. Returns when neither was asked; the program
// then prepares its parser the same way and processes its arguments once its
// application object exists (and Qt's German texts are installed).
void answerHelpAndVersion(int argc, char** argv,
                          const std::function<void(QCommandLineParser&)>& setUp);

} // namespace vorsa

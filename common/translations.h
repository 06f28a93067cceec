#pragma once

class QCoreApplication;

namespace vorsa {

// Loads Qt's own German texts, so that standard dialogs say "Abbrechen" and
// not "Cancel" and command-line help is German. Returns false when Qt's
// translations are not installed.
bool installGermanTranslations(QCoreApplication& app);

} // namespace vorsa

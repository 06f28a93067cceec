#pragma once

#include "line/phoneline.h"

#include <QString>
#include <QtPlugin>
#include <memory>

namespace vorsa {

// What a line module offers: the lines that need libraries of their own (the
// SIP agent with sofia-sip, GLib and OpenSSL; CAPI with libcapi20) live in
// modules that are loaded only when Settings/Line names them, so that a server
// on another line never maps those libraries.
class IPhoneLineFactory {
public:
    virtual ~IPhoneLineFactory() = default;
    // A new line of the module's kind, set up from the server's INI file.
    virtual std::unique_ptr<IPhoneLine> create(const LineContext& context) = 0;
};

// The folder the line modules are loaded from: $VORSA_LINE_MODULES when set,
// else the folder the build configured relative to the program (the same in
// the build tree and in an installation).
QString lineModuleDirectory();

// The file of a line kind's module in that folder ("vorsa-line-sip.so").
QString lineModuleFile(const QString& kind);

// Loads the module of `kind` ("SIP", "CAPI") and creates its line. A module
// that is missing or cannot be loaded throws a VbError (53 or 48) that names
// the file and the loader's reason.
std::unique_ptr<IPhoneLine> createModuleLine(const QString& kind, const LineContext& context);

} // namespace vorsa

// Changes whenever IPhoneLine, LineContext or this interface change.
#define VORSA_PHONE_LINE_FACTORY_IID "org.vorsamelder.IPhoneLineFactory/1"
Q_DECLARE_INTERFACE(vorsa::IPhoneLineFactory, VORSA_PHONE_LINE_FACTORY_IID)

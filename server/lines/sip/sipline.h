#pragma once

#include "line/phoneline.h"

#include <memory>

namespace vorsa {

// A passive SIP user agent: it listens (and registers with a registrar when
// one is set), reports every INVITE as an incoming call and lets it ring. An
// INVITE is never answered with 2xx or 6xx, so the phones of the office (or
// the other branches of a forking PBX) keep ringing; the caller's CANCEL ends
// it. The stack runs in the event thread of the program.
class SipLine : public IPhoneLine {
    Q_OBJECT
public:
    struct Settings {
        QString listen = QStringLiteral("0.0.0.0:5060");
        QString registrar; // sip:host[:port]; empty: listen only
        QString user;
        QString authUser;
        QString password;
        int expires = 600;
        int country = 49;
        int maxRingSec = 300; // an INVITE nobody cancels is ended with 480 after this

        // Section "SIP" of the server's INI file; missing keys are written back.
        static Settings read(const QString& iniFile);
    };

    SipLine(const Settings& settings, IReporter* reporter, QObject* parent = nullptr);
    ~SipLine() override;

    bool startCAPI() override;
    void stopCAPI() override;
    bool lineUp() const override;
    QString capiVersion() const override;
    QString capiRelease() const override;
    QString cardMaker() const override;
    QString serialNumber() const override;
    int dtmfSupport(qint16 what) override;

    bool isListening() const;
    bool isRegistered() const;
    // INVITEs that ring right now.
    int ringingCalls() const;
    // Whether the stack runs in the program's GLib main loop (else in a poll timer).
    bool runsInGlibLoop() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace vorsa

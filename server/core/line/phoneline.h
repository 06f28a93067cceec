#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace vorsa {

class IReporter;

// The telephony line as the server sees it: exactly the members of the
// classic CAPI phone control. Backends (simulated line, SIP, a router's call
// monitor, CAPI) plug in behind it. A backend never blocks the event thread.
class IPhoneLine : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~IPhoneLine() override = default;

    // Opens the line; true on success.
    virtual bool startCAPI() = 0;
    // Closes the line.
    virtual void stopCAPI() = 0;
    // What startCAPI would answer now, without doing anything: lines that
    // connect or register in the background say here when they are up.
    virtual bool lineUp() const { return false; }

    // Status texts.
    virtual QString capiVersion() const = 0;
    virtual QString capiRelease() const = 0;
    virtual QString cardMaker() const = 0;
    virtual QString serialNumber() const = 0;

    // DTMF support query; called with 1, a result of 1 or more means yes.
    virtual int dtmfSupport(qint16 what) = 0;

    // The two start-up switches (set to true once before the first start) and
    // the two call switches (set to false on every IncomingPhoneCall). Their
    // meaning is the backend's own.
    virtual void setStartupSwitches(bool analogListen, bool showAllCalls)
    {
        m_analogListen = analogListen;
        m_showAllCalls = showAllCalls;
    }
    virtual void setCallSwitches(bool first, bool second)
    {
        m_callSwitch1 = first;
        m_callSwitch2 = second;
    }
    bool analogListen() const { return m_analogListen; }
    bool showAllCalls() const { return m_showAllCalls; }
    bool callSwitch1() const { return m_callSwitch1; }
    bool callSwitch2() const { return m_callSwitch2; }

signals:
    // called: the own number dialled; calling: the caller's number, "(hidden)"
    // when suppressed; extra: ignored by the server.
    void IncomingCall(const QString& called, const QString& calling, const QString& extra);
    void IncomingPhoneCall(const QString& first, const QString& second);
    // The line's state changed on its own (connected, registered, lost): the
    // result of startCAPI and the status texts may read differently now.
    void StatusChanged();

private:
    bool m_analogListen = false;
    bool m_showAllCalls = false;
    bool m_callSwitch1 = true;
    bool m_callSwitch2 = true;
};

// What a backend gets to set itself up: the server's INI file (each backend
// reads its own section, writing missing defaults back), the program folder and
// the reporter.
struct LineContext {
    QString iniFile;
    QString programDir;
    IReporter* reporter = nullptr;
};

// Creates the backend named by Settings/Line ("SIM", "SIP", "CALLMONITOR",
// "CAPI"; compared ignoring case). Unknown names give no line; a known line
// that cannot be made (its module missing) throws a VbError saying why. Either
// way the server says so and goes on with a line that cannot start.
using LineFactory =
    std::function<std::unique_ptr<IPhoneLine>(const QString& kind, const LineContext&)>;

// The backends built into the core: "SIM"; null for every other name.
std::unique_ptr<IPhoneLine> createBuiltinLine(const QString& kind, const LineContext& context);

// A line whose start always fails (no telephony available).
class NullLine : public IPhoneLine {
    Q_OBJECT
public:
    using IPhoneLine::IPhoneLine;
    bool startCAPI() override { return false; }
    void stopCAPI() override {}
    QString capiVersion() const override { return {}; }
    QString capiRelease() const override { return {}; }
    QString cardMaker() const override { return {}; }
    QString serialNumber() const override { return {}; }
    int dtmfSupport(qint16) override { return 0; }
};

} // namespace vorsa

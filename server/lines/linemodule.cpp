#include "linemodule.h"

#include "vberror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

namespace vorsa {

namespace {

// A line made by a module. The module shares no library with the program and
// carries its own copy of IPhoneLine, so the program's member pointers do not
// name its signals: they are connected here by name and passed on, and every
// call goes to the module's line.
class ModuleLine : public IPhoneLine {
public:
    explicit ModuleLine(std::unique_ptr<IPhoneLine> line, const QString& file)
        : m_line(std::move(line))
    {
        const bool connected =
            connect(m_line.get(), SIGNAL(IncomingCall(QString, QString, QString)), this,
                    SIGNAL(IncomingCall(QString, QString, QString))) &&
            connect(m_line.get(), SIGNAL(IncomingPhoneCall(QString, QString)), this,
                    SIGNAL(IncomingPhoneCall(QString, QString))) &&
            connect(m_line.get(), SIGNAL(StatusChanged()), this, SIGNAL(StatusChanged()));
        if (!connected)
            throw VbError(err::DllLoad,
                          QStringLiteral("Das Modul %1 passt nicht zu diesem Programm: seine "
                                         "Leitung meldet keine Anrufe.")
                              .arg(file));
    }
    ~ModuleLine() override = default;

    bool startCAPI() override { return m_line->startCAPI(); }
    void stopCAPI() override { m_line->stopCAPI(); }
    bool lineUp() const override { return m_line->lineUp(); }
    QString capiVersion() const override { return m_line->capiVersion(); }
    QString capiRelease() const override { return m_line->capiRelease(); }
    QString cardMaker() const override { return m_line->cardMaker(); }
    QString serialNumber() const override { return m_line->serialNumber(); }
    int dtmfSupport(qint16 what) override { return m_line->dtmfSupport(what); }
    void setStartupSwitches(bool analogListen, bool showAllCalls) override
    {
        IPhoneLine::setStartupSwitches(analogListen, showAllCalls);
        m_line->setStartupSwitches(analogListen, showAllCalls);
    }
    void setCallSwitches(bool first, bool second) override
    {
        IPhoneLine::setCallSwitches(first, second);
        m_line->setCallSwitches(first, second);
    }

private:
    std::unique_ptr<IPhoneLine> m_line;
};

} // namespace

QString lineModuleDirectory()
{
    const QString configured = qEnvironmentVariable("VORSA_LINE_MODULES");
    if (!configured.isEmpty())
        return QDir::cleanPath(configured);
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QStringLiteral(VORSA_LINE_MODULE_DIR));
}

QString lineModuleFile(const QString& kind)
{
    return QStringLiteral("vorsa-line-") + kind.trimmed().toLower() + QStringLiteral(".so");
}

std::unique_ptr<IPhoneLine> createModuleLine(const QString& kind, const LineContext& context)
{
    const QString name = kind.trimmed().toUpper();
    const QString file = QDir(lineModuleDirectory()).absoluteFilePath(lineModuleFile(name));
    if (!QFileInfo(file).isFile())
        throw VbError(err::FileNotFound,
                      QStringLiteral("Die Leitung \"%1\" (Settings/Line) braucht das Modul %2; "
                                     "es fehlt.")
                          .arg(name, file));
    // Once loaded, the module stays for the rest of the run (its line's code
    // is in it); loading it again later only counts up.
    QPluginLoader loader(file);
    QObject* instance = loader.instance();
    if (!instance)
        throw VbError(err::DllLoad, QStringLiteral("Das Modul %1 der Leitung \"%2\" "
                                                   "(Settings/Line) lässt sich nicht laden: %3")
                                        .arg(file, name, loader.errorString()));
    auto* factory = qobject_cast<IPhoneLineFactory*>(instance);
    if (!factory)
        throw VbError(err::DllLoad,
                      QStringLiteral("Die Datei %1 ist kein Leitungsmodul dieser Programmversion "
                                     "(erwartet: %2).")
                          .arg(file, QStringLiteral(VORSA_PHONE_LINE_FACTORY_IID)));
    std::unique_ptr<IPhoneLine> line = factory->create(context);
    if (!line)
        throw VbError(
            err::DllLoad,
            QStringLiteral("Das Modul %1 hat keine Leitung \"%2\" angelegt.").arg(file, name));
    return std::make_unique<ModuleLine>(std::move(line), file);
}

} // namespace vorsa

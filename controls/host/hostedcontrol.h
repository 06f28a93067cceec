#pragma once

#include "orvocontrolhost_export.h"
#include "propertybag.h"

#include <QByteArray>
#include <QFont>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

namespace vorsa {
class IReporter;
class IDesktop;
} // namespace vorsa

namespace orvo {

// The base of the family's controls: what a control gets from the program (or
// the Designer form) that hosts it.
// - CanPropertyChange: the question whether a property may change; a
//   data-bound host answers "no" through setCanPropertyChange.
// - PropertyChanged: the notice that a property changed, with its name.
// - AmbientFont: the host's font (the parent widget's font).
// - ExtenderName: the name the host gave the control (its object name).
// - WriteProperties / ReadProperties: storing and loading the named
//   properties through a PropertyBag; InitProperties sets up a new instance.
// - Message boxes and beeps go through a reporter and a desktop: by default
//   modal boxes and the system beep, a host or a test may give its own.
class ORVOCONTROLHOST_EXPORT HostedControl : public QWidget {
    Q_OBJECT

public:
    using ChangeQuestion = std::function<bool(const QString& property)>;

    explicit HostedControl(QWidget* parent = nullptr);
    ~HostedControl() override;

    // The host's answer to "may this property change?"; none set: yes.
    void setCanPropertyChange(ChangeQuestion question);
    bool CanPropertyChange(const QString& property) const;

    QFont AmbientFont() const;
    QString ExtenderName() const;

    // Not owned; nullptr returns to the control's own boxes and beep.
    void setReporter(vorsa::IReporter* reporter);
    void setDesktop(vorsa::IDesktop* desktop);
    vorsa::IReporter& reporter() const;
    vorsa::IDesktop& desktop() const;

    // Persistence: the properties under their names, in their order, each
    // with its default (values equal to the default are not stored).
    virtual void WriteProperties(PropertyBag& bag) const = 0;
    virtual void ReadProperties(const PropertyBag& bag) = 0;
    // A new instance placed on a form (instead of ReadProperties).
    Q_INVOKABLE virtual void InitProperties() = 0;

    // The same for hosts that know the control only by its class name: the
    // property bag as bytes. LoadProperties returns false for bytes that are
    // no property bag and then leaves the control as it is.
    Q_INVOKABLE QByteArray SaveProperties() const;
    Q_INVOKABLE bool LoadProperties(const QByteArray& bytes);

signals:
    void PropertyChanged(const QString& property);

protected:
    // Tells the host that a property changed.
    void propertyChanged(const QString& property);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace orvo

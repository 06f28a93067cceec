#include "hostedcontrol.h"

#include "gui/guidesktop.h"
#include "gui/messageboxreporter.h"

#include <QApplication>
#include <QPointer>

namespace orvo {

struct HostedControl::Private {
    explicit Private(QWidget* control) : ownReporter(control), ownDesktop(control) {}

    ChangeQuestion canChange;
    vorsa::MessageBoxReporter ownReporter;
    vorsa::GuiDesktop ownDesktop;
    vorsa::IReporter* reporter = nullptr;
    vorsa::IDesktop* desktop = nullptr;
};

HostedControl::HostedControl(QWidget* parent) : QWidget(parent), d(std::make_unique<Private>(this))
{
}

HostedControl::~HostedControl() = default;

void HostedControl::setCanPropertyChange(ChangeQuestion question)
{
    d->canChange = std::move(question);
}

bool HostedControl::CanPropertyChange(const QString& property) const
{
    return !d->canChange || d->canChange(property);
}

QFont HostedControl::AmbientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font(this);
}

QString HostedControl::ExtenderName() const
{
    return objectName();
}

void HostedControl::setReporter(vorsa::IReporter* reporter)
{
    d->reporter = reporter;
}

void HostedControl::setDesktop(vorsa::IDesktop* desktop)
{
    d->desktop = desktop;
}

vorsa::IReporter& HostedControl::reporter() const
{
    return d->reporter ? *d->reporter : d->ownReporter;
}

vorsa::IDesktop& HostedControl::desktop() const
{
    return d->desktop ? *d->desktop : d->ownDesktop;
}

QByteArray HostedControl::SaveProperties() const
{
    PropertyBag bag;
    WriteProperties(bag);
    return bag.toByteArray();
}

bool HostedControl::LoadProperties(const QByteArray& bytes)
{
    PropertyBag bag;
    if (!bag.fromByteArray(bytes))
        return false;
    ReadProperties(bag);
    return true;
}

void HostedControl::propertyChanged(const QString& property)
{
    emit PropertyChanged(property);
}

} // namespace orvo

#pragma once

#include "orvotextbox_export.h"

#include <QList>
#include <QObject>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <memory>

namespace vorsa {
class IReporter;
}

namespace orvo {

// The property page "Daten" of the text box: data type, places in front of and
// behind the comma, text, password character, maximum length, Locked and
// Enabled of the first selected control. Choosing a type (and leaving the
// places fields) fills in the type's defaults; ApplyChanges writes the fields
// back in a fixed order. Children carry their names (cboDatenTyp,
// txtDatenVorkomma, txtDatenNachkomma, txtText, txtPasswordChar, txtMaxLength,
// chkLocked, chkEnabled).
class ORVOTEXTBOX_EXPORT Daten : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Changed READ Changed WRITE setChanged NOTIFY ChangedChanged)

public:
    // How ApplyChanges writes one property of a control; by default
    // QObject::setProperty. The Designer plugin writes through the form.
    using PropertyWriter =
        std::function<void(QObject* control, const char* name, const QVariant& value)>;

    explicit Daten(QWidget* parent = nullptr);
    ~Daten() override;

    void setPropertyWriter(PropertyWriter writer);
    // Errors of ApplyChanges (a field that is not a number) go here; not owned,
    // nullptr: a message box.
    void setReporter(vorsa::IReporter* reporter);

    // The page is shown for these controls: fills the fields from the first.
    void SelectionChanged(const QList<QObject*>& selectedControls);
    // Writes the fields to the first selected control: DatenNachkomma,
    // DatenVorkomma, Text, PasswordChar, MaxLength, Locked, Enabled, DatenTyp.
    // A number field that does not hold a number is reported and nothing is
    // written. Returns true when written.
    bool ApplyChanges();
    // Fills in the defaults of the chosen type.
    void TypVorgaben();

    bool Changed() const;
    void setChanged(bool changed);

signals:
    void ChangedChanged(bool changed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace orvo

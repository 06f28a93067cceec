#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace vorsa {

// What a program asks of the desktop besides message boxes: input boxes,
// beeps and starting other programs. Tests record it.
class IDesktop {
public:
    virtual ~IDesktop() = default;
    // A modal input box; a cancelled box gives "".
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;
    virtual void beep() = 0;
    // Starts a program with its arguments, never through a shell; does not wait.
    virtual bool startProcess(const QString& program, const QStringList& arguments) = 0;
};

// Without a window: input boxes are cancelled, beeps are silent, programs start detached.
class HeadlessDesktop : public IDesktop {
public:
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    void beep() override {}
    bool startProcess(const QString& program, const QStringList& arguments) override;
};

class RecordingDesktop : public IDesktop {
public:
    struct Input {
        QString prompt, title, defaultText;
    };
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    void beep() override { ++beeps; }
    bool startProcess(const QString& program, const QStringList& arguments) override;

    QStringList answers; // answers given to input boxes, in order; none left: cancelled
    QList<Input> inputs;
    int beeps = 0;
    QList<QStringList> started; // program followed by its arguments
};

} // namespace vorsa

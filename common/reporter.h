#pragma once

#include "vberror.h"

#include <QList>
#include <QString>
#include <functional>

namespace vorsa {

enum class MessageIcon { Warning, Critical, Information, Question };

// Everything the programs tell the operator in a box goes through a reporter:
// the window shows a modal message box, the headless server writes a line to
// stderr, tests record.
class IReporter {
public:
    virtual ~IReporter() = default;
    // A box with text, title and icon (OK button).
    virtual void message(const QString& text, const QString& title, MessageIcon icon) = 0;
    // A question with the buttons Yes and No; true for Yes. A reporter without a
    // window cannot ask and answers No.
    virtual bool askYesNo(const QString& text, const QString& title,
                          MessageIcon icon = MessageIcon::Question);
    // The run-time error convention: "[" + procedure + "]" CR LF CR LF description,
    // title "Fehler: " + number, warning icon.
    void reportError(const QString& procedure, const VbError& e);
    void reportError(const QString& procedure, int number, const QString& description);
};

QString errorText(const QString& procedure, const QString& description);
QString errorTitle(int number);

// Runs body; a VbError (or any other exception, as 51 "Interner Fehler") is
// reported under the procedure's name and ends the body. Returns true when the
// body ran to its end; else the error's description goes to *error, if given.
bool guarded(IReporter& reporter, const QString& procedure, const std::function<void()>& body,
             QString* error = nullptr);

// Runs body and swallows every error: for the steps that the system ignores.
bool ignoringErrors(const std::function<void()>& body);

// One line per message on stderr (the headless server).
class LogReporter : public IReporter {
public:
    void message(const QString& text, const QString& title, MessageIcon icon) override;
    static QString logLine(const QString& text, const QString& title);
};

// Keeps every message and question for tests.
class RecordingReporter : public IReporter {
public:
    struct Entry {
        QString text;
        QString title;
        MessageIcon icon;
        bool question = false; // asked with Yes and No
    };
    void message(const QString& text, const QString& title, MessageIcon icon) override;
    bool askYesNo(const QString& text, const QString& title, MessageIcon icon) override;

    QList<Entry> entries;
    QList<bool> answers; // answers to questions, in order (true: Yes); none left: No
    // Runs after each message is recorded, where a message box would run the
    // event loop until it is closed (tests deliver events there).
    std::function<void()> whileShown;
    // The bracketed procedure names of all error messages, in order ("EinlesenDatenbank", ...).
    QStringList procedures() const;
    bool hasProcedure(const QString& procedure) const { return procedures().contains(procedure); }
    void clear() { entries.clear(); }
};

} // namespace vorsa

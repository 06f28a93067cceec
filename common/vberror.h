#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace vorsa {

// Error numbers of the classic BASIC runtime that this system keeps, plus the
// numbers of the database and socket layers.
namespace err {
constexpr int InvalidCall = 5;         // "Ungültiger Prozeduraufruf oder ungültiges Argument"
constexpr int Overflow = 6;            // "Überlauf"
constexpr int SubscriptOutOfRange = 9; // "Index außerhalb des gültigen Bereichs"
constexpr int TypeMismatch = 13;       // "Typ unverträglich"
constexpr int DllLoad = 48;            // "Fehler beim Laden der DLL"
constexpr int InternalError = 51;      // "Interner Fehler"
constexpr int FileNotFound = 53;       // "Datei nicht gefunden"
constexpr int PathFileAccess = 75;     // "Fehler beim Zugriff auf Pfad/Datei"
constexpr int ObjectNotSet = 91;       // "Objektvariable oder With-Blockvariable nicht festgelegt"
constexpr int InvalidUseOfNull = 94;   // "Unzulässige Verwendung von Null"
constexpr int DuplicateKey =
    457; // "Dieser Schlüssel ist bereits einem Element dieser Auflistung zugeordnet"
constexpr int InvalidPropertyValue = 380; // "Ungültiger Eigenschaftswert"
constexpr int InvalidPicture = 481;       // "Ungültiges Bild"
constexpr int PrinterError = 482;         // "Druckerfehler"
constexpr int ItemNotFound = 3265;        // database field or collection item not found
constexpr int Database = -2147467259;     // general database failure (0x80004005)
constexpr int SocketState = 40006;        // wrong protocol or connection state for the request
constexpr int SocketError = 40020;        // socket failure
} // namespace err

// A run-time error: a number and a German description.
class VbError : public std::exception {
public:
    VbError(int number, QString description);

    int number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

    static VbError typeMismatch();
    static VbError overflow();
    static VbError invalidCall();
    static VbError invalidUseOfNull();
    static VbError duplicateKey();
    static VbError subscriptOutOfRange();
    static VbError fileNotFound(const QString& path);
    static VbError pathFileAccess(const QString& path);
    static VbError itemNotFound(const QString& name);
    static VbError database(const QString& description);

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

} // namespace vorsa

#include "vberror.h"

namespace vorsa {

VbError::VbError(int number, QString description)
    : m_number(number), m_description(std::move(description)),
      m_what(QStringLiteral("%1: %2").arg(m_number).arg(m_description).toUtf8())
{
}

VbError VbError::typeMismatch()
{
    return {err::TypeMismatch, QStringLiteral("Typ unverträglich")};
}
VbError VbError::overflow()
{
    return {err::Overflow, QStringLiteral("Überlauf")};
}
VbError VbError::invalidCall()
{
    return {err::InvalidCall, QStringLiteral("Ungültiger Prozeduraufruf oder ungültiges Argument")};
}
VbError VbError::invalidUseOfNull()
{
    return {err::InvalidUseOfNull, QStringLiteral("Unzulässige Verwendung von Null")};
}
VbError VbError::duplicateKey()
{
    return {
        err::DuplicateKey,
        QStringLiteral("Dieser Schlüssel ist bereits einem Element dieser Auflistung zugeordnet")};
}
VbError VbError::subscriptOutOfRange()
{
    return {err::SubscriptOutOfRange, QStringLiteral("Index außerhalb des gültigen Bereichs")};
}
VbError VbError::fileNotFound(const QString& path)
{
    return {err::FileNotFound, QStringLiteral("Datei nicht gefunden: %1").arg(path)};
}
VbError VbError::pathFileAccess(const QString& path)
{
    return {err::PathFileAccess,
            QStringLiteral("Fehler beim Zugriff auf Pfad/Datei: %1").arg(path)};
}
VbError VbError::itemNotFound(const QString& name)
{
    return {err::ItemNotFound,
            QStringLiteral("Das Element \"%1\" wurde in der Auflistung nicht gefunden").arg(name)};
}
VbError VbError::database(const QString& description)
{
    return {err::Database, description};
}

} // namespace vorsa

#include "indexbuild.h"

#include "nurziffern.h"

#include <QUuid>

namespace vorsa {

namespace {

const QString kNullGuid = QStringLiteral("{00000000-0000-0000-0000-000000000000}");
const QString kRowSavepoint = QStringLiteral("vorsa_indexrow");

// The value of a source column, with a substitute for Null. A GUID goes to
// the index as its text.
QVariant valueOr(const db::Recordset& source, const QString& column, const QVariant& substitute)
{
    const QVariant v = source.value(column);
    if (v.isNull())
        return substitute;
    if (v.typeId() == QMetaType::QUuid)
        return feldText(v);
    return v;
}

} // namespace

struct IndexBuild::Source {
    QString tag;
    QString query;
    QString areaCode;
    QStringList fixedLines;
    QString mobile;
    void (IndexBuild::*writer)(const db::Recordset&, const QString&);
};

IndexBuild::IndexBuild(const QString& programDir, db::Connection& indexConnection,
                       db::Recordset& indexRecordset, IIndexBuildView& view, IReporter& reporter)
    : m_programDir(programDir), m_indexConnection(indexConnection),
      m_indexRecordset(indexRecordset), m_view(view), m_reporter(reporter)
{
}

QString IndexBuild::kundenQuery()
{
    return QStringLiteral("Select * From TKunden");
}

QString IndexBuild::drovoQuery()
{
    return QStringLiteral("Select KdSuch,KdName,KdFaInfo,KdHausNr,KdPlz,") +
           QStringLiteral("KdVorwahl,KdTelefon1,KdTelefon2,KdTelefon3,KdMobil1,KdStUnID,KdUnID,") +
           QStringLiteral("StStrasse,") + QStringLiteral("OrOrt") +
           QStringLiteral(" From ((AKdAdr") +
           QStringLiteral(" Left Join AStrassen On AKdAdr.KdStUnID=AStrassen.StUnID)") +
           QStringLiteral(" Left Join AOrte On AStrassen.StOrNr=AOrte.OrNr)");
}

bool IndexBuild::KUNDEN_Verarbeitung()
{
    return run(
        {QStringLiteral("KUNDEN_Verarbeitung"),
         kundenQuery(),
         QStringLiteral("Vorwahl"),
         {QStringLiteral("Telefon1"), QStringLiteral("Telefon2"), QStringLiteral("Telefon3")},
         QStringLiteral("Mobil"),
         &IndexBuild::KUNDEN_TelefonNrAnlegen});
}

bool IndexBuild::DROVO_Verarbeitung()
{
    return run(
        {QStringLiteral("DROVO_Verarbeitung"),
         drovoQuery(),
         QStringLiteral("KdVorwahl"),
         {QStringLiteral("KdTelefon1"), QStringLiteral("KdTelefon2"), QStringLiteral("KdTelefon3")},
         QStringLiteral("KdMobil1"),
         &IndexBuild::DROVO_TelefonNrAnlegen});
}

bool IndexBuild::run(const Source& src)
{
    m_statistics = {};
    m_commitError.reset();
    m_inTransaction = false;

    db::Connection addresses;
    db::Recordset records;

    // Steps up to the opened source: any error ends the build. The index is
    // emptied before the source is opened, so a source that cannot be opened
    // leaves it empty, while an unreachable address database leaves it as it was.
    const bool ready = guarded(m_reporter, src.tag, [&] {
        addresses.setCursorLocation(db::adUseClient);
        addresses.open(QStringLiteral("File Name=") + m_programDir +
                           QStringLiteral("/udlAdressen.UDL"),
                       QString(), QString());
        m_indexConnection.execute(QStringLiteral("DELETE * FROM TTelefonNr"));
        m_indexRecordset.requery();
        ignoringErrors([&] { m_view.refreshGrid(); });
        records.open(src.query, addresses, db::CursorType::Static, db::LockType::ReadOnly);
    });
    if (!ready) {
        ignoringErrors([&] { records.close(); });
        ignoringErrors([&] { addresses.close(); });
        return false;
    }

    walk(src, records);

    bool complete = true;
    if (m_commitError) {
        // Rows that were handed to the database but never committed are lost:
        // say so instead of reporting a complete index.
        m_reporter.reportError(src.tag, m_commitError->number(),
                               QStringLiteral("Die Telefonnummern wurden nicht vollständig "
                                              "gespeichert: ") +
                                   m_commitError->description());
        complete = false;
    }

    const bool released = guarded(m_reporter, src.tag, [&] {
        if (records.isOpen())
            records.close();
        if (addresses.isOpen())
            addresses.close();
    });
    return complete && released;
}

void IndexBuild::walk(const Source& src, db::Recordset& records)
{
    int count = 0;
    if (!ignoringErrors([&] { count = records.recordCount(); }) || count < 1)
        return;

    ignoringErrors([&] { m_view.unbindGrid(); });
    ignoringErrors([&] { m_view.setProgressMinimum(1); });
    ignoringErrors([&] { m_view.setProgressMaximum(count); });
    ignoringErrors([&] { m_view.setProgressValue(1); });
    ignoringErrors([&] { m_view.setProgressVisible(true); });

    m_rowSavepoints = m_indexConnection.driverName() == QLatin1String("QPSQL");
    // SQLite copies its write-ahead log back into the database every 1,000
    // pages; during a build that is after every few commits, each time for
    // the same index pages. Every 10,000 pages (40 MB of log) makes the
    // build about a fifth faster; the usual interval returns after it.
    const bool sqlite = m_indexConnection.driverName() == QLatin1String("QSQLITE");
    if (sqlite)
        ignoringErrors(
            [&] { m_indexConnection.execute(QStringLiteral("PRAGMA wal_autocheckpoint=10000")); });
    beginChunk();
    ignoringErrors([&] { records.moveFirst(); });
    int counter = 1;
    for (;;) {
        bool atEnd = true;
        if (!ignoringErrors([&] { atEnd = records.eof(); }) || atEnd)
            break;
        ++m_statistics.records;
        writeNumbers(src, records);
        if (counter % 100 == 0) {
            endChunk();
            ignoringErrors([&] { m_view.setProgressValue(counter); });
            ignoringErrors([&] { m_view.processEvents(); });
            beginChunk();
        }
        if (!ignoringErrors([&] { records.moveNext(); }))
            break;
        ++counter;
    }
    endChunk();
    if (sqlite)
        ignoringErrors(
            [&] { m_indexConnection.execute(QStringLiteral("PRAGMA wal_autocheckpoint=1000")); });

    ignoringErrors([&] { m_view.setProgressValue(count); });
    ignoringErrors([&] { m_indexRecordset.requery(); });
    ignoringErrors([&] { m_view.bindGrid(); });
}

void IndexBuild::writeNumbers(const Source& src, const db::Recordset& records)
{
    QVariant areaCode;
    const bool areaReadable = ignoringErrors([&] { areaCode = records.value(src.areaCode); });
    const bool areaPresent = areaReadable && feldVorhanden(areaCode);

    for (const QString& field : src.fixedLines) {
        const bool ok = ignoringErrors([&] {
            const QVariant number = records.value(field);
            if (!feldVorhanden(number))
                return;
            // Without a readable area code the number itself cannot be built.
            if (!areaReadable)
                throw VbError::itemNotFound(src.areaCode);
            const QString digits = areaPresent ? NurZiffern(feldText(areaCode) + feldText(number))
                                               : NurZiffern(feldText(number));
            (this->*src.writer)(records, digits);
        });
        if (!ok)
            ++m_statistics.numbersSkipped;
    }

    // The mobile number stands alone, never behind the area code.
    const bool ok = ignoringErrors([&] {
        const QVariant mobile = records.value(src.mobile);
        if (feldVorhanden(mobile))
            (this->*src.writer)(records, NurZiffern(feldText(mobile)));
    });
    if (!ok)
        ++m_statistics.numbersSkipped;
}

template <typename Value> void IndexBuild::setColumn(const QString& column, Value&& value)
{
    // A column that cannot be set (or whose source cannot be read) is left
    // out; the row keeps the table's default there.
    try {
        m_indexRecordset.setValue(column, value());
    } catch (const std::exception&) {
    }
}

void IndexBuild::KUNDEN_TelefonNrAnlegen(const db::Recordset& source, const QString& telefonNr)
{
    const QString empty = QStringLiteral("");
    writeRow([&] {
        setColumn(QStringLiteral("Sperre"), [] { return QVariant(false); });
        setColumn(QStringLiteral("MandNr"),
                  [&] { return valueOr(source, QStringLiteral("MandNr"), 0); });
        setColumn(QStringLiteral("UnID"),
                  [&] { return valueOr(source, QStringLiteral("UnID"), kNullGuid); });
        setColumn(QStringLiteral("SuchID"),
                  [&] { return valueOr(source, QStringLiteral("SuchID"), empty); });
        setColumn(QStringLiteral("KundenNrID"),
                  [&] { return valueOr(source, QStringLiteral("KundenNrID"), 0); });
        setColumn(QStringLiteral("Name2"),
                  [&] { return valueOr(source, QStringLiteral("Name2"), empty); });
        setColumn(QStringLiteral("Straße"),
                  [&] { return valueOr(source, QStringLiteral("Straße"), empty); });
        setColumn(QStringLiteral("PLZ"),
                  [&] { return valueOr(source, QStringLiteral("PLZ"), empty); });
        setColumn(QStringLiteral("Ort"),
                  [&] { return valueOr(source, QStringLiteral("Ort"), empty); });
        setColumn(QStringLiteral("TelefonNr"), [&] { return QVariant(telefonNr); });
        setColumn(QStringLiteral("KundenArt"),
                  [&] { return valueOr(source, QStringLiteral("KundenArt"), 0); });
    });
}

void IndexBuild::DROVO_TelefonNrAnlegen(const db::Recordset& source, const QString& telefonNr)
{
    const QString empty = QStringLiteral("");
    // UnID is not set: the row keeps the table's default.
    writeRow([&] {
        setColumn(QStringLiteral("Sperre"), [] { return QVariant(false); });
        setColumn(QStringLiteral("MandNr"), [] { return QVariant(0); });
        setColumn(QStringLiteral("SuchID"),
                  [&] { return valueOr(source, QStringLiteral("KdSuch"), empty); });
        setColumn(QStringLiteral("KundenNrID"),
                  [&] { return valueOr(source, QStringLiteral("KdUnID"), 0); });
        setColumn(QStringLiteral("Name2"),
                  [&] { return valueOr(source, QStringLiteral("KdName"), empty); });
        setColumn(QStringLiteral("Straße"),
                  [&] { return valueOr(source, QStringLiteral("StStrasse"), empty); });
        setColumn(QStringLiteral("PLZ"),
                  [&] { return valueOr(source, QStringLiteral("KdPlz"), empty); });
        setColumn(QStringLiteral("Ort"),
                  [&] { return valueOr(source, QStringLiteral("OrOrt"), empty); });
        setColumn(QStringLiteral("TelefonNr"), [&] { return QVariant(telefonNr); });
        setColumn(QStringLiteral("KundenArt"), [] { return QVariant(0); });
    });
}

void IndexBuild::writeRow(const std::function<void()>& setColumns)
{
    // PostgreSQL aborts the whole transaction on a failed statement; a
    // savepoint per row keeps a dropped row from taking its neighbours along.
    const bool savepoint =
        m_inTransaction && m_rowSavepoints && ignoringErrors([&] {
            m_indexConnection.execute(QStringLiteral("SAVEPOINT ") + kRowSavepoint);
        });

    bool saved = ignoringErrors([&] { m_indexRecordset.addNew(); });
    if (saved) {
        setColumns();
        saved = ignoringErrors([&] { m_indexRecordset.update(); });
        if (!saved)
            ignoringErrors([&] { m_indexRecordset.cancelUpdate(); });
    }
    if (saved && m_inTransaction)
        ++m_chunkRows; // written for good only by the chunk's commit
    else if (saved)
        ++m_statistics.rowsWritten;
    else
        ++m_statistics.rowsDropped;

    if (savepoint) {
        if (!saved)
            ignoringErrors([&] {
                m_indexConnection.execute(QStringLiteral("ROLLBACK TO SAVEPOINT ") + kRowSavepoint);
            });
        ignoringErrors([&] {
            m_indexConnection.execute(QStringLiteral("RELEASE SAVEPOINT ") + kRowSavepoint);
        });
    }
}

void IndexBuild::beginChunk()
{
    if (m_commitMode == CommitMode::PerRow)
        return;
    // Without a transaction every insert commits on its own: slower, never wrong.
    m_chunkRows = 0;
    m_inTransaction = ignoringErrors([&] { m_indexConnection.beginTrans(); });
}

void IndexBuild::endChunk()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    try {
        m_indexConnection.commitTrans();
        m_statistics.rowsWritten += m_chunkRows;
    } catch (const VbError& e) {
        if (!m_commitError)
            m_commitError = e;
        ignoringErrors([&] { m_indexConnection.rollbackTrans(); });
        m_statistics.rowsDropped += m_chunkRows; // rolled back with the chunk
    }
    m_chunkRows = 0;
}

} // namespace vorsa

#include "indexbuild.h"

#include "indexwriter.h"
#include "nurziffern.h"
#include "sourcereader.h"

#include <optional>

namespace vorsa {

namespace {

const QString kNullGuid = QStringLiteral("{00000000-0000-0000-0000-000000000000}");

} // namespace

// One column of the index rows a build writes: a fixed value, the number, or
// a column of the source record with a substitute for Null.
struct IndexBuild::Column {
    enum Kind { Fixed, Number, FromSource };
    QString name;
    Kind kind = Fixed;
    QVariant value; // the fixed value, or the substitute for Null
    QString sourceField;
    int sourceIndex = -1;

    static Column fixed(const QString& name, const QVariant& value)
    {
        return {name, Fixed, value, {}, -1};
    }
    static Column number(const QString& name) { return {name, Number, {}, {}, -1}; }
    static Column source(const QString& name, const QString& field, const QVariant& substitute)
    {
        return {name, FromSource, substitute, field, -1};
    }
};

struct IndexBuild::Source {
    QString tag;
    QString query;
    QString areaCode;
    QStringList fixedLines;
    QString mobile;
    QList<Column> columns; // in the order the row writer sets them
    QList<Column> IndexBuild::*active;
    void (IndexBuild::*writer)(const SourceReader&, const QString&);
};

IndexBuild::IndexBuild(const QString& programDir, db::Connection& indexConnection,
                       db::Recordset* indexRecordset, IIndexBuildView& view, IReporter& reporter)
    : m_programDir(programDir), m_indexConnection(indexConnection),
      m_indexRecordset(indexRecordset), m_view(view), m_reporter(reporter)
{
}

IndexBuild::~IndexBuild() = default;

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
    const QString empty = QStringLiteral("");
    return run(
        {QStringLiteral("KUNDEN_Verarbeitung"),
         kundenQuery(),
         QStringLiteral("Vorwahl"),
         {QStringLiteral("Telefon1"), QStringLiteral("Telefon2"), QStringLiteral("Telefon3")},
         QStringLiteral("Mobil"),
         {Column::fixed(QStringLiteral("Sperre"), false),
          Column::source(QStringLiteral("MandNr"), QStringLiteral("MandNr"), 0),
          Column::source(QStringLiteral("UnID"), QStringLiteral("UnID"), kNullGuid),
          Column::source(QStringLiteral("SuchID"), QStringLiteral("SuchID"), empty),
          Column::source(QStringLiteral("KundenNrID"), QStringLiteral("KundenNrID"), 0),
          Column::source(QStringLiteral("Name2"), QStringLiteral("Name2"), empty),
          Column::source(QStringLiteral("Straße"), QStringLiteral("Straße"), empty),
          Column::source(QStringLiteral("PLZ"), QStringLiteral("PLZ"), empty),
          Column::source(QStringLiteral("Ort"), QStringLiteral("Ort"), empty),
          Column::number(QStringLiteral("TelefonNr")),
          Column::source(QStringLiteral("KundenArt"), QStringLiteral("KundenArt"), 0)},
         &IndexBuild::m_kundenColumns,
         &IndexBuild::KUNDEN_TelefonNrAnlegen});
}

bool IndexBuild::DROVO_Verarbeitung()
{
    const QString empty = QStringLiteral("");
    // UnID is not set: the row keeps the table's default.
    return run(
        {QStringLiteral("DROVO_Verarbeitung"),
         drovoQuery(),
         QStringLiteral("KdVorwahl"),
         {QStringLiteral("KdTelefon1"), QStringLiteral("KdTelefon2"), QStringLiteral("KdTelefon3")},
         QStringLiteral("KdMobil1"),
         {Column::fixed(QStringLiteral("Sperre"), false),
          Column::fixed(QStringLiteral("MandNr"), 0),
          Column::source(QStringLiteral("SuchID"), QStringLiteral("KdSuch"), empty),
          Column::source(QStringLiteral("KundenNrID"), QStringLiteral("KdUnID"), 0),
          Column::source(QStringLiteral("Name2"), QStringLiteral("KdName"), empty),
          Column::source(QStringLiteral("Straße"), QStringLiteral("StStrasse"), empty),
          Column::source(QStringLiteral("PLZ"), QStringLiteral("KdPlz"), empty),
          Column::source(QStringLiteral("Ort"), QStringLiteral("OrOrt"), empty),
          Column::number(QStringLiteral("TelefonNr")),
          Column::fixed(QStringLiteral("KundenArt"), 0)},
         &IndexBuild::m_drovoColumns,
         &IndexBuild::DROVO_TelefonNrAnlegen});
}

QList<IndexBuild::Column> IndexBuild::columnsOf(const QList<Column>& wanted,
                                                const SourceReader& source) const
{
    // A source column the address database lacks is left out of every row.
    QList<Column> columns;
    for (Column column : wanted) {
        if (column.kind == Column::FromSource) {
            column.sourceIndex = source.fieldIndex(column.sourceField);
            if (column.sourceIndex < 0)
                continue;
        }
        columns << column;
    }
    return columns;
}

bool IndexBuild::run(const Source& src)
{
    m_statistics = {};
    db::Connection addresses;
    SourceReader records;
    std::unique_ptr<IndexWriter> writer;
    QList<Column>& columns = this->*src.active;

    // Up to the opened source and the started new index any error ends the
    // build; the index in use is not touched before the new one is complete.
    const bool ready = guarded(m_reporter, src.tag, [&] {
        addresses.setCursorLocation(db::adUseClient);
        addresses.open(QStringLiteral("File Name=") + m_programDir +
                           QStringLiteral("/udlAdressen.UDL"),
                       QString(), QString());
        records.open(src.query, addresses);
        columns = columnsOf(src.columns, records);
        QStringList names;
        for (const Column& column : std::as_const(columns))
            names << column.name;
        writer = IndexWriter::open(QStringLiteral("File Name=") + m_programDir +
                                   QStringLiteral("/udlVorsa.UDL"));
        writer->begin(names);
    });
    if (!ready) {
        if (writer)
            writer->abandon();
        ignoringErrors([&] { records.close(); });
        ignoringErrors([&] { addresses.close(); });
        return false;
    }

    m_writer = writer.get();
    m_row.resize(columns.size());
    std::optional<VbError> failure;
    bool walked = false;
    try {
        walked = records.recordCount() > 0;
        walk(src, records);
        writer->commit();
    } catch (const VbError& e) {
        failure = e;
    } catch (const std::exception& e) {
        failure = VbError(err::InternalError, QString::fromLocal8Bit(e.what()));
    }
    if (failure)
        writer->abandon();
    m_statistics.rowsWritten = failure ? 0 : writer->counts().written;
    m_statistics.rowsDropped = writer->counts().dropped;
    m_writer = nullptr;
    writer.reset(); // the build's connection

    showIndexAgain(walked);
    if (failure) {
        m_reporter.reportError(src.tag, failure->number(),
                               failure->description() +
                                   QStringLiteral(" Der bisherige Telefonnummernindex bleibt "
                                                  "unverändert."));
    }

    const bool released = guarded(m_reporter, src.tag, [&] {
        if (records.isOpen())
            records.close();
        if (addresses.isOpen())
            addresses.close();
    });
    return !failure && released;
}

void IndexBuild::walk(const Source& src, SourceReader& records)
{
    const int count = records.recordCount();
    if (count < 1)
        return;

    ignoringErrors([&] { m_view.unbindGrid(); });
    // The grid's rows (the old index) are not kept while the new one is written.
    if (m_indexRecordset)
        ignoringErrors([&] { m_indexRecordset->close(); });
    ignoringErrors([&] { m_view.setProgressMinimum(1); });
    ignoringErrors([&] { m_view.setProgressMaximum(count); });
    ignoringErrors([&] { m_view.setProgressValue(1); });
    ignoringErrors([&] { m_view.setProgressVisible(true); });

    // A record that cannot be read and a row that cannot be written end the
    // walk: the new index would lack them.
    int counter = 1;
    while (records.next()) {
        ++m_statistics.records;
        writeNumbers(src, records);
        if (counter % 100 == 0) {
            m_writer->progressPoint();
            ignoringErrors([&] { m_view.setProgressValue(counter); });
            ignoringErrors([&] { m_view.processEvents(); });
        }
        ++counter;
    }
    ignoringErrors([&] { m_view.setProgressValue(count); });
}

void IndexBuild::showIndexAgain(bool walked)
{
    if (walked) {
        if (m_indexRecordset) {
            ignoringErrors([&] {
                if (m_indexRecordset->isOpen())
                    m_indexRecordset->requery();
                else
                    m_indexRecordset->open(indexQuery(), m_indexConnection, db::CursorType::Static,
                                           db::LockType::Optimistic);
            });
        }
        ignoringErrors([&] { m_view.bindGrid(); });
        return;
    }
    // The grid stayed bound: it shows the index as it is now.
    if (m_indexRecordset && m_indexRecordset->isOpen())
        ignoringErrors([&] { m_indexRecordset->requery(); });
    ignoringErrors([&] { m_view.refreshGrid(); });
}

void IndexBuild::writeNumbers(const Source& src, const SourceReader& records)
{
    QVariant areaCode;
    const bool areaReadable = ignoringErrors([&] { areaCode = records.value(src.areaCode); });
    const bool areaPresent = areaReadable && feldVorhanden(areaCode);

    // Reading and filtering a number may fail (the number is skipped);
    // writing it may not (the build ends).
    for (const QString& field : src.fixedLines) {
        QString digits;
        bool present = false;
        const bool ok = ignoringErrors([&] {
            const QVariant number = records.value(field);
            if (!feldVorhanden(number))
                return;
            // Without a readable area code the number itself cannot be built.
            if (!areaReadable)
                throw VbError::itemNotFound(src.areaCode);
            digits = areaPresent ? NurZiffern(feldText(areaCode) + feldText(number))
                                 : NurZiffern(feldText(number));
            present = true;
        });
        if (!ok)
            ++m_statistics.numbersSkipped;
        else if (present)
            (this->*src.writer)(records, digits);
    }

    // The mobile number stands alone, never behind the area code.
    QString digits;
    bool present = false;
    const bool ok = ignoringErrors([&] {
        const QVariant mobile = records.value(src.mobile);
        if (!feldVorhanden(mobile))
            return;
        digits = NurZiffern(feldText(mobile));
        present = true;
    });
    if (!ok)
        ++m_statistics.numbersSkipped;
    else if (present)
        (this->*src.writer)(records, digits);
}

void IndexBuild::KUNDEN_TelefonNrAnlegen(const SourceReader& source, const QString& telefonNr)
{
    writeRow(m_kundenColumns, source, telefonNr);
}

void IndexBuild::DROVO_TelefonNrAnlegen(const SourceReader& source, const QString& telefonNr)
{
    writeRow(m_drovoColumns, source, telefonNr);
}

void IndexBuild::writeRow(const QList<Column>& columns, const SourceReader& source,
                          const QString& telefonNr)
{
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const Column& column = columns.at(i);
        switch (column.kind) {
        case Column::Fixed:
            m_row[i] = column.value;
            break;
        case Column::Number:
            m_row[i] = telefonNr;
            break;
        case Column::FromSource: {
            // A GUID goes to the index as its text.
            const QVariant v = source.value(column.sourceIndex);
            if (v.isNull())
                m_row[i] = column.value;
            else if (v.typeId() == QMetaType::QUuid)
                m_row[i] = feldText(v);
            else
                m_row[i] = v;
            break;
        }
        }
    }
    m_writer->add(m_row);
}

} // namespace vorsa

#pragma once

#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <memory>

class QPrinter;

namespace OrvoReport2 {

// The current printer of a report: one of the printers that Qt Print Support
// lists from CUPS, with the paper, orientation and bin that were applied to
// it. Its printable area is the page less the margins the printer cannot print
// on; the drawing origin is the top left corner of that area. On a machine
// without any printer the report works on an A4 portrait page with margins of
// 10 points, so that previews and PDF files still work.
class ReportDrucker {
public:
    ReportDrucker();
    ~ReportDrucker();

    // The printers in the order Qt lists them.
    static QStringList druckerListe();

    // Makes printer `index` of the list current; an index that is not below
    // the number of printers is replaced by 0. Fails with 9 for a negative
    // index. Without printers there is nothing to select and nothing fails.
    // Returns the index stored.
    qint32 auswaehlen(qint32 index);
    // The index of the system's default printer in the list, 0 without one.
    static qint32 standardIndex();

    qint32 index() const { return m_index; }
    bool vorhanden() const { return !m_name.isEmpty(); }
    QString geraetename() const { return m_name; }

    // Paper codes of the old system applied to the printer; a code without a
    // meaning here or that the printer does not take is ignored. Returns
    // whether it was applied.
    bool setOrientation(qint32 code);
    bool setPaperSize(qint32 code);
    bool setPaperBin(qint32 code);

    QPageLayout seitenLayout() const;
    // The printable width and height in twips.
    double druckbareBreite() const;
    double druckbareHoehe() const;
    // The printer to print on, set up as above; nullptr without a printer.
    QPrinter* drucker() const { return m_drucker.get(); }

private:
    void randAufDrucker();

    QString m_name;
    qint32 m_index = 0;
    std::unique_ptr<QPrinter> m_drucker;
    QPageLayout m_ohneDrucker;
};

// Twips to centimetres cut (not rounded) to two decimals: 11905 -> 20.99.
double zentimeterGekuerzt(double twips);

} // namespace OrvoReport2

#include "schnittstelle.h"

#include <QXmlStreamReader>

namespace OrvoReport2 {

Schnittstelle Schnittstelle::lesen(const QString& dokument)
{
    Schnittstelle s;
    QXmlStreamReader xml(dokument);
    QString methode;
    qint64 anfang = -1;
    while (!xml.atEnd()) {
        const auto t = xml.readNext();
        if (t == QXmlStreamReader::StartElement) {
            const auto a = xml.attributes();
            if (xml.name() == QLatin1String("interface") && s.name.isEmpty()) {
                s.name = a.value(QLatin1String("name")).toString();
                anfang = dokument.lastIndexOf(QLatin1String("<interface"), xml.characterOffset());
            } else if (xml.name() == QLatin1String("method")) {
                methode = a.value(QLatin1String("name")).toString();
                s.methoden.insert(methode, QString());
            } else if (xml.name() == QLatin1String("arg") && !methode.isEmpty() &&
                       a.value(QLatin1String("direction")) != QLatin1String("out")) {
                s.methoden[methode] += a.value(QLatin1String("type")).toString();
            } else if (xml.name() == QLatin1String("property")) {
                const auto zugriff = a.value(QLatin1String("access"));
                Eigenschaft e;
                e.typ = a.value(QLatin1String("type")).toString();
                e.lesbar = zugriff.startsWith(QLatin1String("read"));
                e.schreibbar = zugriff.endsWith(QLatin1String("write"));
                s.eigenschaften.insert(a.value(QLatin1String("name")).toString(), e);
            }
        } else if (t == QXmlStreamReader::EndElement) {
            if (xml.name() == QLatin1String("method"))
                methode.clear();
            else if (xml.name() == QLatin1String("interface") && anfang >= 0) {
                s.xml = dokument.mid(anfang, xml.characterOffset() - anfang) + QLatin1Char('\n');
                break;
            }
        }
    }
    if (xml.hasError())
        return {};
    return s;
}

} // namespace OrvoReport2

#pragma once

#include <QHash>
#include <QString>

namespace OrvoReport2 {

// An interface as its introspection XML describes it: the signature of each
// method's input, each property's type and access. The XML file that is
// installed is the one the program serves and checks calls against.
struct Schnittstelle {
    struct Eigenschaft {
        QString typ;
        bool lesbar = false;
        bool schreibbar = false;
    };
    QString name;
    QString xml;                      // the <interface> element as it stands in the file
    QHash<QString, QString> methoden; // name -> signature of the "in" arguments
    QHash<QString, Eigenschaft> eigenschaften;

    // Reads the first interface of an introspection document; an empty name
    // when there is none.
    static Schnittstelle lesen(const QString& dokument);
};

} // namespace OrvoReport2

#pragma once

#include <QList>
#include <QString>

namespace vl {

// A library the program is built on, for the About box.
struct LibraryCredit {
    QString name;
    QString version; // as linked, or as built against; empty when unknown
    QString licence;
    QString purpose;
};

QList<LibraryCredit> libraryCredits();

} // namespace vl

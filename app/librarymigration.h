#pragma once

#include "base/datadirectory.h"

#include <QList>
#include <QString>
#include <QStringList>

// The move of a library that an earlier version kept in the temporary-files
// location, which the system empties at every boot, into the data directory.
namespace lf {

struct LibraryMove
{
    QString oldDirectory; // with a trailing "/"
    QStringList moved; // book names now in the data directory
    QStringList leftBehind; // book names still whole in the old place
    bool inUse = false; // an earlier version holds the old place: nothing moved
    bool bookcaseMerged = false;
};

// Moves what is left of the library at `oldDirectory` (with a trailing "/")
// into the data directory, whenever the old directory is this user's folder
// with a bookcase file of this user and no program of an earlier version
// holds it. Book folders go one at a time, each renamed, or across file
// systems copied, checked, flushed to disk and then removed, so that at any
// moment every book is whole in one of the two places; a book that cannot be
// moved (its name taken in the data directory, a file that cannot be copied,
// a link in place of its folder) stays whole where it was, and the next start
// tries again. The records of the books that moved are merged into the data
// directory's bookcase file, which keeps its own; those of books left behind
// stay in the old one. No record is dropped while its folder exists. A move
// cut short by a kill goes on at the next start. Every step is logged. Runs
// once the instance lock is held and before the bookcase is loaded.
LibraryMove moveOldLibrary(const QString& oldDirectory);

// moveOldLibrary() over every place an earlier version may have kept it.
QList<LibraryMove> moveOldLibraries(const QStringList& oldDirectories = legacyDataDirectories());

// What the user is told about books that stay in the old place: which, where,
// and that the system empties that place at boot. Plain text; empty when
// every book moved.
QString leftBehindTitle();
QString leftBehindMessage(const QList<LibraryMove>& moves);

} // namespace lf

#pragma once

#include "app/datadirectory.h"

#include <QString>
#include <QStringList>

// The one-time move of a library that an earlier version kept in the
// temporary-files location, which the system empties at every boot, into the
// data directory.
namespace lf {

struct LibraryMove
{
    QStringList moved; // book names now in the data directory
    QStringList leftBehind; // book names that stayed whole in the old place
    bool bookcaseMoved = false;
};

// Moves the library at `oldDirectory` (with a trailing "/") into the data
// directory, when the data directory has no bookcase file, the old directory
// is this user's folder with a bookcase file of this user, and no program of
// an earlier version holds it. Book folders go one at a time, each renamed,
// or across file systems copied, checked, flushed to disk and then removed,
// so that at any moment every book is whole in one of the two places; a book
// that cannot be moved stays whole where it was. The bookcase comes last: the
// records of the books that moved go into the data directory's bookcase file,
// those of books left behind stay in the old one. A move cut short by a kill
// goes on at the next start. Every step is logged. Runs once the instance
// lock is held and before the bookcase is loaded.
LibraryMove moveOldLibrary(const QString& oldDirectory = legacyDataDirectory());

} // namespace lf

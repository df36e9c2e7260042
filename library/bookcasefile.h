#pragma once

#include <QByteArray>
#include <QString>

class BookListControl;

// The bookcase file "bl" in the data directory: one compact JSON document with
// every record under "bookInfos". It is replaced atomically on every save. A
// damaged file is kept aside and a missing one is not mourned: the bookcase is
// rebuilt from the book folders. A file that cannot be read is never replaced.
namespace BookcaseFile {

QString filePath();
// Where a bookcase file that could not be parsed is kept.
QString damagedCopyPath();
// The folder of a book: the data directory followed by its book name.
QString bookFolder(const QString& name);

// The document that save() writes: compact, keys in alphabetical order, records by book name.
QByteArray toJson(const BookListControl& store);
// Writes the whole bookcase; the previous file stays until the new one is complete.
// False (and logged) when it could not be written, or when the file of this run
// could not be read at load.
bool save(const BookListControl& store);
// Removes what unfinished imports left, fills the store from the file without
// announcing each record, then saves once. Does nothing when the data
// directory belongs to another user.
void load(BookListControl& store);

} // namespace BookcaseFile

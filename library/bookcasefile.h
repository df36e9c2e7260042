#pragma once

#include <QByteArray>
#include <QString>

class BookListControl;

// The bookcase file "bl" in the data directory: one compact JSON document with
// every record under "bookInfos". It is replaced atomically on every save, and
// a damaged file is kept aside while the bookcase is rebuilt from the book folders.
namespace BookcaseFile {

QString filePath();
// Where a bookcase file that could not be parsed is kept.
QString damagedCopyPath();
// The folder of a book: the data directory followed by its book name.
QString bookFolder(const QString& name);

// The document that save() writes: compact, keys in alphabetical order, records by book name.
QByteArray toJson(const BookListControl& store);
// Writes the whole bookcase; the previous file stays until the new one is complete.
bool save(const BookListControl& store);
// Fills the store from the file without announcing each record, then saves once.
// Does nothing when the data directory belongs to another user.
void load(BookListControl& store);

} // namespace BookcaseFile

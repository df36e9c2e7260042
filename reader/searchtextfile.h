#pragma once

#include "reader/documentstamp.h"
#include "reader/searchtext.h"

#include <QByteArray>
#include <QVector>

#include <functional>

class QIODevice;

// The stored search text of a book ("searchtext/texts.txt" in its cache
// folder): a header line naming the folding rules it was made with, then one
// entry a document in ascending page order: a line "<page> <c|p> <folded
// bytes> <shown bytes> <document bytes> <document time>" (c for a complete
// folded text) followed by the two texts in UTF-8. The document's stamp binds
// each entry to the file it was extracted from.
namespace lf::SearchTextFile {

// Larger files are not read at all: the book may ship one.
constexpr qint64 kMaxFileSize = 512 * 1024 * 1024;

struct Entry
{
    int page = -1;
    DocumentStamp stamp;
    SearchText::DocumentText text;
};

// The stamp of the document now at a page; invalid for a page the book does not have.
using StampOfPage = std::function<DocumentStamp(int page)>;

QByteArray header();
QByteArray entryBytes(const Entry& entry);

// The entries of `file` that are bound to the documents now in the book. The
// size and header are checked before anything else is read, and an entry's
// line and binding before its texts: a file the program did not write for
// this book is left after its header or first entry line, however large it
// is. Reading stops at the first entry that is damaged, out of page order or
// not bound; what is left is extracted again.
QVector<Entry> read(QIODevice* file, const StampOfPage& stampOfPage);

} // namespace lf::SearchTextFile

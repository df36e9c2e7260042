#pragma once

#include "reader/documentstamp.h"

#include <QByteArray>
#include <QVector>

#include <functional>

class QIODevice;

// The stored text of a book's documents ("searchtext/texts.txt" in its cache
// folder), as the web engine gave it: a header line, then one entry a
// document in ascending page order: a line "<page> <t|e> <text bytes>
// <document bytes> <document time>" (e for a document only the engine can
// search) followed by the text in UTF-8. The document's stamp binds each entry
// to the file it was taken from.
namespace lf::SearchTextFile {

// Larger files are not read at all: the book may ship one.
constexpr qint64 kMaxFileSize = 512 * 1024 * 1024;

struct Entry
{
    int page = -1;
    DocumentStamp stamp;
    QByteArray text; // UTF-8
    bool engineOnly = false; // holds form controls, frames or objects
};

// The stamp of the document now at a page; invalid for a page the book does not have.
using StampOfPage = std::function<DocumentStamp(int page)>;

QByteArray header();
QByteArray entryBytes(const Entry& entry);

// The entries of `file` that are bound to the documents now in the book. The
// size and header are checked before anything else is read, and an entry's
// line and binding before its text: a file the program did not write for this
// book is left after its header or first entry line, however large it is.
// Reading stops at the first entry that is damaged, out of page order or not
// bound; what is left is taken again.
QVector<Entry> read(QIODevice* file, const StampOfPage& stampOfPage);

} // namespace lf::SearchTextFile

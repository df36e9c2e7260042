#pragma once

#include "base/appconstants.h"

#include <QString>

struct EpubData;

// A book that names no picture for its cover is shown by a picture of its
// first page, drawn once by the program and kept among the book's files.
namespace lf::RenderedCover {

// In the book's top folder, beside the program's other files there.
inline const QString kFileName = lf::kRenderedCoverFileName;

// The cover path a bookcase record keeps for `book`, extracted in `bookDir`:
// the book's own picture when its file is there, else kFileName.
QString recordPath(const QString& bookDir, const EpubData& book);

// True when the book in `bookDir` has no picture at a record's cover path
// (the drawn one named but not drawn yet, or a record from before covers were
// drawn that names none) and no drawn picture either.
bool isMissing(const QString& bookDir, const QString& coverUrl);

// The file to show for a record's cover path: that picture when the book has
// it, else the drawn picture when there is one; empty when the path leaves
// the book.
QString shownFile(const QString& bookDir, const QString& coverUrl);

} // namespace lf::RenderedCover

#pragma once

#include <QString>

struct EpubData;

// A book that names no picture for its cover is shown by a picture of its
// first page, drawn once by the program and kept among the book's files.
namespace lf::RenderedCover {

// In the book's top folder, beside the program's other files there.
inline const QString kFileName = QStringLiteral(".lf_cover.png");

// The cover path a bookcase record keeps for `book`, extracted in `bookDir`:
// the book's own picture when its file is there, else kFileName.
QString recordPath(const QString& bookDir, const EpubData& book);

// True when a record's cover path names the drawn picture and the book in
// `bookDir` does not have it yet.
bool isMissing(const QString& bookDir, const QString& coverUrl);

} // namespace lf::RenderedCover

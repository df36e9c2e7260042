#pragma once

#include <QString>

namespace lf {

// The copy a damaged bookcase file is kept as.
inline const QString kDamagedBookcaseFileName = QStringLiteral("bl.damaged");
// Names of the folders an import extracts into before the book is swapped in.
inline const QString kStagingFolderPrefix = QStringLiteral(".import-");
// Names of the folders the move of an old library puts a copied book aside
// into before removing it. They hold ".epub", which every version removed
// from the names it gave books, so no book was ever named so.
inline const QString kMoveFolderPrefix = QStringLiteral(".moving.epub-");

// The book name of an .epub path: the last path part (split at "/" when the
// path has one, otherwise at "\"), with every ".epub" removed, ignoring case.
QString bookNameFromPath(const QString& path);

// A book name names a folder directly inside the data directory. Empty, "."
// and ".." would name the data directory itself or its parent, and the data
// directory's own files and folders (the bookcase file and its damaged copy,
// the hand-over files, import staging and move folders) are never a book's. Letter case
// is ignored, as the file systems of the platform ignore it.
bool isUsableBookName(const QString& name);

} // namespace lf

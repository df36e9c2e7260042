#pragma once

#include <QString>

namespace lf {

// The copy a damaged bookcase file is kept as.
inline const QString kDamagedBookcaseFileName = QStringLiteral("bl.damaged");
// Names of the folders an import extracts into before the book is swapped in.
inline const QString kStagingFolderPrefix = QStringLiteral(".import-");

// The book name of an .epub path: the last path part (split at "/" when the
// path has one, otherwise at "\"), with every ".epub" removed, ignoring case.
QString bookNameFromPath(const QString& path);

// A book name names a folder directly inside the data directory. Empty, "."
// and ".." would name the data directory itself or its parent, and the data
// directory's own files and folders (the bookcase file and its damaged copy,
// the hand-over files, import staging folders) are never a book's. Letter case
// is ignored, as the file systems of the platform ignore it.
bool isUsableBookName(const QString& name);

} // namespace lf

#pragma once

#include <QString>

namespace lf {

// The book name of an .epub path: the last path part (split at "/" when the
// path has one, otherwise at "\"), with every ".epub" removed, ignoring case.
QString bookNameFromPath(const QString& path);

// A book name names a folder directly inside the data directory. Empty, "."
// and ".." would name the data directory itself or its parent.
bool isUsableBookName(const QString& name);

} // namespace lf

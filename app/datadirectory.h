#pragma once

#include <QString>

// The per-user data directory: the user's data location
// (QStandardPaths::GenericDataLocation: $XDG_DATA_HOME, by default
// ~/.local/share) followed by "/LF_Epub_Viewer_N/". Unlike the
// temporary-files location, where earlier versions kept it, it survives a
// reboot. Computed once per process; safe to read from any thread.
namespace lf {

// The directory path, with "/" separators and a trailing "/"; empty when the
// platform has no usable data location.
QString dataDirectory();

// Creates the data directory, and any missing folder above it, owner-only
// when it is missing. Returns false when it cannot be created, belongs to
// another user or there is no data directory.
bool ensureDataDirectory();

// True when the data directory is missing or a folder the current user owns.
// A link, a plain file or another user's folder at its name is never read,
// written or removed.
bool dataDirectoryIsOurs();

// Where earlier versions kept the data directory: the temporary-files
// location followed by "/LF_Epub_Viewer_N/", or "/LF_Epub_Viewer_N_<user
// id>/" when another user owns the plain name there (that location is shared
// by all users). Empty when there is no usable temporary-files location.
// Read only to move an old library over once.
QString legacyDataDirectory();

} // namespace lf

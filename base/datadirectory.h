#pragma once

#include <QString>
#include <QStringList>

// The per-user data directory: the user's data location
// (QStandardPaths::GenericDataLocation: $XDG_DATA_HOME, by default
// ~/.local/share; a relative $XDG_DATA_HOME is ignored) followed by
// "/LF_Epub_Viewer_N/". Unlike the
// temporary-files location, where earlier versions kept it, it survives a
// reboot. Computed once per process; safe to read from any thread.
namespace lf {

// The directory path, with "/" separators and a trailing "/"; empty when the
// platform has no usable data location.
QString dataDirectory();

// Creates the data directory, and any missing folder above it, owner-only
// when it is missing. Returns false when it cannot be created, belongs to
// another user or there is no data directory; `reason` then says why, with
// the path that failed.
bool ensureDataDirectory(QString* reason = nullptr);

// Why nothing can be written into the existing data directory (a full disk,
// a read-only mount), found by writing a small file there and flushing it to
// disk; empty when that works.
QString dataDirectoryWriteProblem();

// True when the data directory is missing or a folder the current user owns.
// A link, a plain file or another user's folder at its name is never read,
// written or removed.
bool dataDirectoryIsOurs();

// Where earlier versions kept the data directory: the temporary-files
// location followed by "/LF_Epub_Viewer_N/" and, since that location is
// shared by all users and the plain name stays with whoever made it first,
// "/LF_Epub_Viewer_N_<user id>/". A library may sit under either name. None
// when there is no usable temporary-files location. Read only to move an old
// library over.
QStringList legacyDataDirectories();

} // namespace lf

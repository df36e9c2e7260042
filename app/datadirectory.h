#pragma once

#include <QString>

// The per-user data directory: the temporary-files location followed by
// "/LF_Epub_Viewer_N/", or by "/LF_Epub_Viewer_N_<user id>/" when another user
// already owns the plain name there. Computed once per process; safe to read
// from any thread.
namespace lf {

// The directory path, with "/" separators and a trailing "/"; empty when the
// platform has no usable temporary-files location.
QString dataDirectory();

// Creates the data directory (owner-only permissions) when it is missing.
// Returns false when it cannot be created, belongs to another user or there
// is no data directory.
bool ensureDataDirectory();

// True when the data directory is missing or owned by the current user. The
// temporary-files location is shared by all users, so a directory someone
// else made there is never read, written or removed.
bool dataDirectoryIsOurs();

} // namespace lf

#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// Copies of folder trees for moving them between file systems: folders and
// regular files only, never through a link, modification times kept. Paths
// are in the file system's own encoding, without a trailing "/".
namespace lf::FolderCopy {

// The names in a folder without "." and "..", sorted; none when it cannot be read.
std::optional<QList<QByteArray>> entriesOf(const QByteArray& folder);

// Copies `from` to `to`, which must not exist yet. False, with the copy left
// unfinished, at the first entry that is neither a folder nor a regular file
// or cannot be copied.
bool copy(const QByteArray& from, const QByteArray& to);

// True when both trees hold the same names, the same kinds of entries and
// files of the same bytes and modification times.
bool same(const QByteArray& a, const QByteArray& b);

// Flushes everything written to the file system holding `folder` to disk.
bool flushFileSystemOf(const QByteArray& folder);

} // namespace lf::FolderCopy

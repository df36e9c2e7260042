#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QFile;

// The program's own files (the bookcase, the hand-over files, annotation
// files, thumbnails, the search text) are written whole and atomically and
// read without following links: a link planted at one of their names is
// replaced by the next save, and its target is never read or written.
namespace lf {

// Replaces the file at `path` with `bytes` in one step: the bytes go to a new
// owner-only file beside it, which is flushed to disk and renamed over the
// name only once it is complete. Whatever sat at the name, a link included,
// is replaced, never written through. On failure the old file stays
// byte-identical, no temporary file is left behind, the reason goes to the
// debug log and the result is false.
bool writeFileAtomically(const QString& path, const QByteArray& bytes);

enum class OwnFileOpen { Opened, Missing, Failed };

// Opens `path` read-only into `file` without following a link. No entry and a
// link at the name are Missing; anything but a regular file (a folder, a
// pipe) and an open that fails are Failed, with the reason in `reason`.
OwnFileOpen openOwnFile(const QString& path, QFile* file, QString* reason = nullptr);

// The whole file; none when openOwnFile() does not open it, when it is
// larger than `maxSize` or cannot be read.
std::optional<QByteArray> readOwnFile(const QString& path, qint64 maxSize);

} // namespace lf

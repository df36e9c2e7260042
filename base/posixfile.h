#pragma once

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <optional>
#include <sys/stat.h>

// Small helpers for the code that works on paths through POSIX calls, so that
// links are seen as links. Paths are in the file system's own encoding.
namespace lf::PosixFile {

// The status of `path` itself, not of what a link there points to; none when
// nothing can be seen there.
std::optional<struct stat> linkStatus(const QByteArray& path);

// `name` directly inside `folder`.
QByteArray join(const QByteArray& folder, const QByteArray& name);

// Writes all `size` bytes at `data` to `fd`, going on after an interrupted or
// partial write; false on the first error.
bool writeAll(int fd, const char* data, qint64 size);

// The system's text for an error number, for log lines and messages.
QString systemError(int error = errno);

} // namespace lf::PosixFile

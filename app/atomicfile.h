#pragma once

#include <QByteArray>
#include <QString>

namespace lf {

// Replaces the file at `path` with `bytes` in one step: the bytes go to a
// temporary file beside it, which is renamed over the old file only once it is
// complete. On failure the old file stays byte-identical, no temporary file is
// left behind, the reason goes to the debug log and the result is false.
bool writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace lf

#pragma once

#include <QByteArray>
#include <QString>

// What a book folder was extracted from: the archive's size and SHA-256,
// kept in the folder, so that opening the very same file again opens the
// book instead of offering to replace it.
namespace lf::BookSource {

inline const QString kFileName = QStringLiteral(".lf_source");

// "<size> <sha256 in hex>" of the file at `archivePath`; empty when it cannot be read.
QByteArray fingerprint(const QString& archivePath);
// Keeps `fingerprint` in `bookDir` (a folder with a trailing "/").
bool record(const QString& bookDir, const QByteArray& fingerprint);
// True when `bookDir` was extracted from a file with the same size and
// checksum as the one at `archivePath`. The checksum is only worked out when
// the sizes agree.
bool matches(const QString& bookDir, const QString& archivePath);

} // namespace lf::BookSource

#pragma once

#include <QString>
#include <QUrl>

// The addresses book pages are served from: lfbook://<host>/<path>, where the
// host names one book (a digest of its folder, never the folder itself) and
// the path is book-relative. Every book is an origin of its own, and "/x" or
// a path that climbs above the top names the book's top folder, as address
// rules say.
namespace lf::BookAddress {

inline const QString kScheme = QStringLiteral("lfbook");

// The host of the book in `bookDir`.
QString host(const QString& bookDir);

// The address of the file at book-relative `bookPath` (decoded, as
// BookHref::resolve gives it); empty for an empty path.
QUrl url(const QString& bookDir, const QString& bookPath);

// The book-relative path an address on `host` names: "." and ".." resolved
// (never above the top), query and fragment dropped, percent-decoded. Empty
// for another scheme or host, and for a segment that decodes to a separator
// or a dot name.
QString bookPath(const QUrl& url, const QString& host);

} // namespace lf::BookAddress

#pragma once

#include "reader/documentstamp.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;

// A page thumbnail kept as a PNG file in the book's thumbnail folder. That
// folder sits among the book's own files, so a book may ship files there: a
// stored thumbnail is trusted only when it carries the binding the program
// writes into it (a PNG text entry naming its page and the stamp of the page's
// document), and it is decoded at the tile's size, never larger.
namespace lf::StoredThumbnail {

// Anything larger did not come from the program and is not looked at.
constexpr qint64 kMaxFileSize = 1024 * 1024;
// A stored picture may be at most this many times the tile's size each way.
constexpr int kMaxSideFactor = 4;

// The binding of the thumbnail of `page`, whose document has `stamp`; empty
// when there is no such document.
QString binding(int page, const DocumentStamp& stamp);

// PNG bytes of `image` carrying `binding`; empty when encoding fails.
QByteArray encode(const QImage& image, const QString& binding);

// The stored picture in `file` scaled to `tileSize`; a null image when the
// file is too large, does not carry `binding`, declares a size out of
// proportion to the tile or does not decode. Only the PNG header is read
// before the binding and the declared size have passed.
QImage decode(QIODevice* file, const QString& binding, const QSize& tileSize);

} // namespace lf::StoredThumbnail

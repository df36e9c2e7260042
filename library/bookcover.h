#pragma once

#include <QSize>
#include <QString>

class BookInfo;
class QByteArray;
class QLabel;
class QPixmap;

// Cover images of the list's tiles and rows, read from the book folder.
namespace BookCover {

// The data directory, the book name, "/", then the cover path inside the book;
// empty when the cover path leaves the book folder.
QString filePath(const BookInfo& book);

// Covers larger than this are refused unread, whatever size they are shown at.
constexpr int kMaxCoverSide = 12000;
constexpr qint64 kMaxCoverPixels = qint64(40) * 1000 * 1000;
// False for an image size that is unknown or absurd.
bool isAcceptableSize(const QSize& size);

// Decodes the cover straight at the label's size in device pixels, so a huge
// image is never held at full size and the label shows it without rescaling.
// Leaves the label as it is when the cover cannot be read or declares an
// absurd size.
bool showIn(QLabel* label, const QString& path);

// The same, deferred until the label is first painted: a list of thousands of
// books decodes only the covers that come into view.
void showWhenPainted(QLabel* label, const BookInfo& book);
// Runs a deferred decode of this label at once, if one is waiting.
void showPendingNow(QLabel* label);
// Forgets a deferred decode, for a label given another image.
void dropPending(QLabel* label);

// Shows an image the caller already has, in place of any deferred decode.
void showImage(QLabel* label, const QPixmap& image);
// Decodes an image (format taken from the data) into the label; leaves the
// label as it is and returns false when the bytes are no image.
bool showImageData(QLabel* label, const QByteArray& bytes);

} // namespace BookCover

#pragma once

#include <QString>

class BookInfo;
class QLabel;
class QWidget;

// What the list's cover tiles and rows share in showing a book.
namespace lf {

// The tooltip of a book's tile or row: its full title and author. Rich text
// with the book's texts escaped, so markup in a title shows as written and a
// long title wraps instead of running off the screen.
QString bookToolTip(const BookInfo& book);

// A soft grey shadow under `widget`, `offset` pixels right and down.
void addTileShadow(QWidget* widget, qreal blurRadius, qreal offset);

// The book's cover in `cover`, decoded once it comes into view, and its
// tooltip on `tile`.
void showBookOnTile(QWidget* tile, QLabel* cover, const BookInfo& book);

} // namespace lf

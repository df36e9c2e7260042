#pragma once

#include <QString>

class BookInfo;

namespace lf {

// The tooltip of a book's tile or row: its full title and author. Rich text
// with the book's texts escaped, so markup in a title shows as written and a
// long title wraps instead of running off the screen.
QString bookToolTip(const BookInfo& book);

} // namespace lf

#pragma once

#include <Qt>

class BookInfo;

// The directions a book's title and author are shown in, as its package
// document declares them. The bookcase file does not keep them: they are read
// from the book's own folder the first time a record is shown, and kept for
// the run. GUI thread.
struct BookDirections
{
    Qt::LayoutDirection title = Qt::LayoutDirectionAuto;
    Qt::LayoutDirection author = Qt::LayoutDirectionAuto;

    static BookDirections of(const BookInfo& book);
};
